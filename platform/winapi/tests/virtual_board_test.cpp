// The stand-in against virtual boards running in this process.
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "io_fixture.h"
#include "vboard/board.h"

namespace winapi_test {
namespace {

class VirtualBoard : public ::testing::Test {
  protected:
    void TearDown() override {
        CloseHandle(overlapped_.hEvent);
        boards_.clear();
        EXPECT_EQ(standin::OpenHandleCount(), handlesBefore_);
    }

    vboard::Board& Start(int slot) {
        vboard::BoardOptions options;
        options.busDir = bus_.dir();
        options.slot = slot;
        options.eepromFile = bus_.dir() + "/board-" + std::to_string(slot) + ".eeprom";
        options.clockRunning = false;  // status reports only when a key changes
        options.diagnostics = [](const std::string&) {};
        boards_.push_back(std::make_unique<vboard::Board>(options));
        std::string why;
        EXPECT_TRUE(boards_.back()->Start(&why)) << why;
        return *boards_.back();
    }

    static HANDLE Open(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    }

    std::size_t handlesBefore_ = standin::OpenHandleCount();
    TempBus bus_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
    OVERLAPPED overlapped_{0, 0, {{0, 0}}, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    DWORD count_ = 0;
};

TEST_F(VirtualBoard, BoardsAreListedInIndexOrderWhilePlugged) {
    vboard::Board& later = Start(3);
    vboard::Board& first = Start(1);
    HDEVINFO set = SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(InterfacePath(set, 0), first.DevicePath());
    EXPECT_EQ(InterfacePath(set, 1), later.DevicePath());
    EXPECT_EQ(InterfacePath(set, 2), "");
    EXPECT_EQ(GetLastError(), Err(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);

    first.Unplug();
    set = SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(InterfacePath(set, 0), later.DevicePath());
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(Open(first.DevicePath()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Err(ERROR_FILE_NOT_FOUND));
}

TEST_F(VirtualBoard, TheTypeQueryCompletesAtOnceWithTheByte) {
    vboard::Board& board = Start(0);
    board.SetType(0x22);
    board.SetFault(vboard::Target::Type, {vboard::FaultMode::Immediate, 0});
    HANDLE device = Open(board.DevicePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    BYTE type = 0;
    struct {
        DWORD offset, length;
        void* data;
        DWORD request;
    } block{0, 1, &type, 0x472};
    // Everything is in place when the call returns.
    EXPECT_TRUE(DeviceIoControl(device, 0x8000200c, &block, sizeof block, &type, 1, &count_, &overlapped_));
    EXPECT_EQ(count_, 1u);
    EXPECT_EQ(type, 0x22);
    EXPECT_EQ(InternalOf(overlapped_), 0u);
    EXPECT_EQ(overlapped_.InternalHigh, 1u);
    EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_OBJECT_0);
    count_ = 0;
    EXPECT_TRUE(GetOverlappedResult(device, &overlapped_, &count_, FALSE));
    EXPECT_EQ(count_, 1u);
    CloseHandle(device);
}

TEST_F(VirtualBoard, AStatusReadPendsUntilAKeyChangesAndFailsOnUnplug) {
    vboard::Board& board = Start(0);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::uint8_t report[4] = {};
    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, nullptr, &overlapped_));
    EXPECT_EQ(GetLastError(), Err(ERROR_IO_PENDING));
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped_, &count_, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_IO_INCOMPLETE));
    board.SetKey(2, true);
    EXPECT_TRUE(GetOverlappedResult(pipe, &overlapped_, &count_, TRUE));
    EXPECT_EQ(count_, 4u);

    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, nullptr, &overlapped_));
    board.Unplug();
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped_, &count_, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, nullptr, &overlapped_));
    EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
    // Nothing is left pending to wait for.
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped_, &count_, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(pipe);
}

TEST_F(VirtualBoard, TimedOutAndClosedReadsCompleteWithAborted) {
    vboard::Board& board = Start(0);
    board.SetCancelDelay(30);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::uint8_t bytes[16];
    // No transfer request came first, so the board's pipe stays pending.
    EXPECT_FALSE(ReadFile(pipe, bytes, sizeof bytes, nullptr, &overlapped_));
    EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 50), WAIT_TIMEOUT);
    EXPECT_TRUE(CancelIo(pipe));
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped_, &count_, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_OPERATION_ABORTED));

    EXPECT_FALSE(ReadFile(pipe, bytes, sizeof bytes, nullptr, &overlapped_));
    EXPECT_TRUE(CloseHandle(pipe));
    ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped_, &count_, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_OPERATION_ABORTED));
}

namespace {
std::size_t ThreadsOfThisProcess() {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}
}  // namespace

// The jobs of the tools' workers start no thread of the stand-in's beyond its one completion
// thread, however many handles they open and close.
TEST_F(VirtualBoard, AThousandJobsStartNoThread) {
    vboard::Board& board = Start(0);
    auto job = [&] {
        HANDLE device = Open(board.DevicePath());
        HANDLE pipe = Open(board.DevicePath() + "\\PIPE00");
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        BYTE type = 0;
        struct {
            DWORD offset, length;
            void* data;
            DWORD request;
        } block{0, 1, &type, 0x472};
        ResetEvent(overlapped_.hEvent);
        if (!DeviceIoControl(device, 0x8000200c, &block, sizeof block, &type, 1, &count_, &overlapped_)) {
            ASSERT_TRUE(GetOverlappedResult(device, &overlapped_, &count_, TRUE)) << GetLastError();
        }
        EXPECT_EQ(type, 0x21);
        CloseHandle(pipe);
        CloseHandle(device);
    };
    job();  // the completion thread may start here, once
    const std::size_t started = standin::CompletionThreadsStarted();
    const std::size_t threads = ThreadsOfThisProcess();
    EXPECT_LE(started, 1u);
    for (int i = 0; i < 1000; ++i) job();
    EXPECT_EQ(standin::CompletionThreadsStarted(), started);
    EXPECT_EQ(ThreadsOfThisProcess(), threads);
}

}  // namespace
}  // namespace winapi_test
