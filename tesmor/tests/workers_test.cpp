// The status poller and the digit writer on their own threads against in-process virtual
// boards, with a stand-in for the window that records what reaches it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board_bus.h"
#include "board_link.h"
#include "digit_writer.h"
#include "poll_worker.h"
#include "winapi_standin.h"

namespace {

using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

class RecordingOwner : public WorkerOwner {
  public:
    std::atomic<bool> running{true};
    std::function<void()> onFailure;  // runs inside ShowWorkerFailure

    bool Running() const override { return running; }
    void UpdateStatusDisplay(const StatusReport& report) override {
        std::lock_guard hold(lock_);
        reports_.push_back(report);
    }
    void ShowWorkerFailure(const char* text) override {
        if (onFailure) onFailure();
        std::lock_guard hold(lock_);
        failures_.emplace_back(text);
    }
    std::vector<StatusReport> Reports() const {
        std::lock_guard hold(lock_);
        return reports_;
    }
    std::vector<std::string> Failures() const {
        std::lock_guard hold(lock_);
        return failures_;
    }

  private:
    mutable std::mutex lock_;
    std::vector<StatusReport> reports_;
    std::vector<std::string> failures_;
};

// Runs a worker procedure on its own thread. If the worker is still running when the test
// is over (it failed), `stop` is called until it ends.
class WorkerThread {
  public:
    WorkerThread(UINT (*procedure)(LPVOID), LPVOID job, std::function<void()> stop = {})
        : stop_(std::move(stop)), done_(std::async(std::launch::async, [=] { return procedure(job); })) {}
    ~WorkerThread() {
        while (done_.wait_for(50ms) != std::future_status::ready)
            if (stop_) stop_();
    }
    bool EndsWithin(std::chrono::seconds limit) { return done_.wait_for(limit) == std::future_status::ready; }

  private:
    std::function<void()> stop_;
    std::future<UINT> done_;
};

class WorkersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bus_ = std::make_unique<BoardBus>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        board_ = bus_->AddBoard();
        ASSERT_NE(board_, nullptr);
        ASSERT_EQ(FindBoard(), 0);
        poll_.owner = &owner_;
        poll_.canceller = &canceller_;
        poll_.active = true;
    }
    void TearDown() override {
        EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }));
        bus_.reset();
    }

    WorkerThread StartPoller() {
        return WorkerThread(PollWorker, &poll_, [this] {
            owner_.running = false;
            canceller_.CancelAll();
        });
    }

    bool LastReportIs(BYTE key) {
        const auto reports = owner_.Reports();
        return !reports.empty() && reports.back().key == key;
    }

    std::unique_ptr<BoardBus> bus_;
    vboard::Board* board_ = nullptr;
    RecordingOwner owner_;
    IoCanceller canceller_;
    PollJob poll_;
};

TEST_F(WorkersTest, PollerHandsOnEveryCompleteReport) {
    board_->SetClock({9, 30, 5});
    WorkerThread poller = StartPoller();
    board_->SetKey(2, true);
    ASSERT_TRUE(Eventually([&] { return LastReportIs(2); }));
    const StatusReport r = owner_.Reports().back();
    EXPECT_EQ(ClockText(r), "09 : 30 : 05");
    board_->SetKey(2, false);
    ASSERT_TRUE(Eventually([&] { return LastReportIs(vboard::kNoKey); }));

    owner_.running = false;
    canceller_.CancelAll();
    ASSERT_TRUE(poller.EndsWithin(20s));
    EXPECT_FALSE(poll_.active);
}

// The read has no time limit: with no report coming, only a cancel ends it.
TEST_F(WorkersTest, EndingTheConnectionCancelsABlockedRead) {
    WorkerThread poller = StartPoller();
    ASSERT_TRUE(Eventually([&] { return RequestPending(*board_, "PIPE00"); }));

    owner_.running = false;
    EXPECT_FALSE(poller.EndsWithin(std::chrono::seconds(0)));
    canceller_.CancelAll();
    ASSERT_TRUE(poller.EndsWithin(20s));
    EXPECT_FALSE(poll_.active);
    EXPECT_TRUE(owner_.Reports().empty());
    EXPECT_EQ(MostOpenAtOnce(*board_, "PIPE00"), 1);
}

TEST_F(WorkersTest, ClearingTheActiveFlagEndsThePollerAfterItsRead) {
    WorkerThread poller = StartPoller();
    ASSERT_TRUE(Eventually([&] { return RequestPending(*board_, "PIPE00"); }));
    poll_.active = false;
    board_->SetKey(0, true);
    ASSERT_TRUE(poller.EndsWithin(20s));
    EXPECT_EQ(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 1);
}

// A short read would mix the new bytes with what an earlier report left in the buffer.
TEST_F(WorkersTest, ShortReportsAreNotShown) {
    board_->SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Short, 2});
    WorkerThread poller = StartPoller();
    auto answeredAndBack = [&](int reads) {
        // The poller is back for more only once it has handled the earlier reports.
        return Eventually([&] {
            return CountOps(*board_, "PIPE00", vboard::LogOp::Read, true) >= reads &&
                   RequestPending(*board_, "PIPE00");
        });
    };
    ASSERT_TRUE(answeredAndBack(0));
    board_->SetClock({12, 34, 56});
    ASSERT_TRUE(answeredAndBack(1));
    board_->SetKey(3, true);
    ASSERT_TRUE(answeredAndBack(2));
    EXPECT_TRUE(owner_.Reports().empty());

    // The read already waiting was asked for under the fault: one more short report.
    board_->ClearFaults();
    board_->SetKey(4, true);
    ASSERT_TRUE(answeredAndBack(3));
    EXPECT_TRUE(owner_.Reports().empty());
    board_->SetKey(5, true);
    ASSERT_TRUE(Eventually([&] { return !owner_.Reports().empty(); }));
    EXPECT_EQ(owner_.Reports().back().key, 3);  // the lowest key held
    EXPECT_EQ(ClockText(owner_.Reports().back()), "12 : 34 : 56");

    owner_.running = false;
    canceller_.CancelAll();
    ASSERT_TRUE(poller.EndsWithin(20s));
}

TEST_F(WorkersTest, PollerEndsOnItsOwnWhenItsPipeWillNotOpen) {
    board_->SetPipeOpenError(0, 5);
    WorkerThread poller = StartPoller();
    ASSERT_TRUE(poller.EndsWithin(20s));
    EXPECT_FALSE(poll_.active);
    EXPECT_TRUE(owner_.running);  // the connection flag is the window's to clear
}

// Unplugging fails the pending read; the poller then finds its pipe gone and ends.
TEST_F(WorkersTest, UnplugEndsThePoller) {
    WorkerThread poller = StartPoller();
    ASSERT_TRUE(Eventually([&] { return RequestPending(*board_, "PIPE00"); }));
    board_->Unplug();
    ASSERT_TRUE(poller.EndsWithin(20s));
    EXPECT_FALSE(poll_.active);
    EXPECT_TRUE(owner_.Reports().empty());
}

TEST_F(WorkersTest, WriterSendsItsRecord) {
    DigitJob job{&owner_, &canceller_, {0, 0, 0, 0, 0, 0, 1, 10}};
    { WorkerThread writer(DigitWriter, &job); }
    EXPECT_EQ(board_->Display(), (vboard::Digits{0, 0, 0, 0, 0, 0, 1, 10}));
    EXPECT_TRUE(owner_.Failures().empty());
}

// The write's limit is 50 ms; the failure is shown after the pipe has been reset.
TEST_F(WorkersTest, WriteTheBoardDoesNotTakeFailsAfterAReset) {
    board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Stall, 0});
    int resetsBeforeMessage = -1;
    owner_.onFailure = [&] { resetsBeforeMessage = CountOps(*board_, "PIPE01", vboard::LogOp::Ioctl); };
    DigitJob job{&owner_, &canceller_, {1, 2, 3, 4, 5, 6, 7, 8}};
    { WorkerThread writer(DigitWriter, &job); }
    EXPECT_EQ(owner_.Failures(), std::vector<std::string>{"Data transfer on PIPE01 failed! Aborted."});
    EXPECT_GE(resetsBeforeMessage, 1);
    EXPECT_EQ(board_->Display(), vboard::Digits{});
}

TEST_F(WorkersTest, WriterReportsAPipeThatWillNotOpen) {
    board_->SetPipeOpenError(1, 2);
    DigitJob job{&owner_, &canceller_, {1, 2, 3, 4, 5, 6, 7, 8}};
    { WorkerThread writer(DigitWriter, &job); }
    EXPECT_EQ(owner_.Failures(), std::vector<std::string>{"Open driver failed! Can't write to PIPE01."});
}

// Writers overlap freely; each sends the record it was given.
TEST_F(WorkersTest, OverlappingWritersEachSendTheirOwnRecord) {
    struct Seen : vboard::BoardObserver {
        std::mutex lock;
        std::vector<vboard::Digits> displays;
        void OnDisplayChanged(const vboard::Digits& d) override {
            std::lock_guard hold(lock);
            displays.push_back(d);
        }
    } seen;
    board_->AddObserver(&seen);
    DigitJob first{&owner_, &canceller_, {1, 1, 1, 1, 1, 1, 1, 1}};
    DigitJob second{&owner_, &canceller_, {2, 2, 2, 2, 2, 2, 2, 2}};
    {
        WorkerThread a(DigitWriter, &first);
        WorkerThread b(DigitWriter, &second);
    }
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard hold(seen.lock);
        return seen.displays.size() == 2;
    }));
    board_->RemoveObserver(&seen);
    const vboard::Digits ones{1, 1, 1, 1, 1, 1, 1, 1}, twos{2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_TRUE((seen.displays[0] == ones && seen.displays[1] == twos) ||
                (seen.displays[0] == twos && seen.displays[1] == ones));
    EXPECT_TRUE(owner_.Failures().empty());
}

}  // namespace
