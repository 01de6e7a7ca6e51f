// The transfer workers without a window: a recording owner stands in for the dialog, so these
// run in the sanitizer build without the GUI as well.
#include "transfer_job.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "board_link.h"
#include "private_bus.h"
#include "winapi_standin.h"

namespace {

using vboard::Fault;
using vboard::FaultMode;
using vboard::Target;

class RecordingOwner : public TransferOwner {
  public:
    void ShowTransferFailure(const char* text) override {
        std::lock_guard hold(lock_);
        failures_.push_back(text);
    }
    void AppendToReadDisplay(const std::string& text) override {
        std::lock_guard hold(lock_);
        display_ += text;
    }
    void EnableTransferButtons(BOOL clearRead, BOOL read, BOOL clearWrite, BOOL write) override {
        std::lock_guard hold(lock_);
        buttonsOn_ = clearRead && read && clearWrite && write;
    }
    JobControl& Jobs() override { return jobs_; }

    std::vector<std::string> Failures() const {
        std::lock_guard hold(lock_);
        return failures_;
    }
    std::string Display() const {
        std::lock_guard hold(lock_);
        return display_;
    }
    bool ButtonsOn() const {
        std::lock_guard hold(lock_);
        return buttonsOn_;
    }

  private:
    mutable std::mutex lock_;
    std::vector<std::string> failures_;
    std::string display_;
    bool buttonsOn_ = false;
    JobControl jobs_;
};

// A worker on a thread of its own, as the window starts it.
class WorkerThread {
  public:
    WorkerThread(UINT (*worker)(LPVOID), TransferJob& job) : worker_(worker), job_(job) {
        job_.owner->Jobs().JobStarted();
        handle_ = CreateThread(nullptr, 0, &WorkerThread::Start, this, 0, nullptr);
        EXPECT_NE(handle_, nullptr);
    }
    ~WorkerThread() {
        Join();
        CloseHandle(handle_);
    }
    void Join() { EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0); }
    HANDLE Handle() const { return handle_; }

  private:
    static DWORD WINAPI Start(LPVOID self) {
        auto* t = static_cast<WorkerThread*>(self);
        return t->worker_(&t->job_);
    }
    UINT (*worker_)(LPVOID);
    TransferJob& job_;
    HANDLE handle_ = nullptr;
};

class TransferWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        board = &bus.AddBoard();
        ASSERT_EQ(FindBoard(), 0);
        read.owner = &owner;
        write.owner = &owner;
    }
    void TearDown() override {
        EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }));
    }

    void Run(UINT (*worker)(LPVOID), TransferJob& job) {
        WorkerThread thread(worker, job);
        thread.Join();
        EXPECT_FALSE(owner.Jobs().JobRunning());
        EXPECT_TRUE(owner.ButtonsOn());
    }

    PrivateBus bus;
    vboard::Board* board = nullptr;
    RecordingOwner owner;
    TransferJob read;
    TransferJob write;
};

TEST_F(TransferWorker, AShortReadShowsOnlyTheBytesReceivedNotTheStaleRest) {
    ASSERT_TRUE(board->WriteEeprom(0, {0x10, 0x11, 0x12, 0x13, 0xA0, 0xA1, 0xA2, 0xA3}));
    read.start = 0;
    read.length = 4;
    Run(ReadWorker, read);
    ASSERT_EQ(owner.Display(), "10 11 12 13 ");

    board->SetFault(Target::Pipe02, Fault{FaultMode::Short, 1});
    read.start = 4;
    Run(ReadWorker, read);
    EXPECT_EQ(owner.Display(), "10 11 12 13 a0 ");
    EXPECT_TRUE(owner.Failures().empty());
}

TEST_F(TransferWorker, WriteThenReadMovesTheBytesAtTheStartAddress) {
    const unsigned char bytes[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x00};
    std::copy(std::begin(bytes), std::end(bytes), write.data);
    ASSERT_TRUE(board->WriteEeprom(250, {0xFF}));
    write.start = 251;
    write.length = 5;
    Run(WriteWorker, write);
    const vboard::Eeprom eeprom = board->EepromContents();
    EXPECT_EQ(std::vector<std::uint8_t>(eeprom.begin() + 251, eeprom.end()),
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 0x00}));

    read.start = 250;
    read.length = 6;
    Run(ReadWorker, read);
    EXPECT_EQ(owner.Display(), "ff de ad be ef 00 ");
    EXPECT_TRUE(owner.Failures().empty());
}

// At close the window stops the worker: whatever step the board stalls, the worker ends without
// waiting for a time-out, shows nothing, and leaves nothing open or pending.
TEST_F(TransferWorker, ClosingCutsAStalledJobShortAndSilencesIt) {
    const struct {
        Target stalled;
        bool reading;
        const char* target;
        vboard::LogOp op;
        std::uint32_t code;
    } cases[] = {
        {Target::Pipe02, true, "PIPE02", vboard::LogOp::Read, 0},
        {Target::Pipe03, false, "PIPE03", vboard::LogOp::Write, 0},
        {Target::Transfer, true, "device", vboard::LogOp::Ioctl, vboard::kIoctlTransfer},
    };
    board->SetFault(Target::Reset, Fault{FaultMode::Stall});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        board->SetFault(c.stalled, Fault{FaultMode::Stall});
        const std::size_t handlesBefore = standin::OpenHandleCount();
        TransferJob& job = c.reading ? read : write;
        job.length = 4;
        owner.Jobs().Open();
        const std::uint64_t mark = LogMark(*board);
        {
            WorkerThread thread(c.reading ? ReadWorker : WriteWorker, job);
            ASSERT_TRUE(Eventually([&] { return RequestPending(*board, c.target, c.op, c.code, mark); }));
            owner.Jobs().BeginClose();
            owner.Jobs().WaitForWorker(thread.Handle(), WaitForSingleObject);
            EXPECT_EQ(standin::PendingRequestCount(), 0u);
        }
        EXPECT_EQ(standin::OpenHandleCount(), handlesBefore);
        EXPECT_GE(Requests(*board, c.target, vboard::LogOp::Cancel, 0, mark), 1u);
        board->SetFault(c.stalled, Fault{FaultMode::Normal});
    }
    EXPECT_TRUE(owner.Failures().empty());
    EXPECT_EQ(owner.Display(), "");
}

TEST_F(TransferWorker, AJobStartedAfterTheCloseBeganOpensNothing) {
    const std::size_t opensBefore = Requests(*board, "device", vboard::LogOp::Open);
    owner.Jobs().BeginClose();
    Run(ReadWorker, read);
    EXPECT_EQ(Requests(*board, "device", vboard::LogOp::Open), opensBefore);
    EXPECT_TRUE(owner.Failures().empty());
}

}  // namespace
