#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "board_fixture.h"
#include "board_link.h"
#include "winapi_standin.h"

namespace {

using vboard::FaultMode;
using vboard::Target;

class PipeTransfer : public BoardLinkTest {
protected:
    vboard::Board& Ready(vboard::BoardOptions options = {}) {
        auto& board = AddBoard(std::move(options));
        EXPECT_EQ(FindBoard(), 0);
        return board;
    }
    // Arms PIPE02 for `length` bytes from `start`.
    void ArmRead(BYTE start, DWORD length) {
        HANDLE device = OpenBoardDevice();
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        EXPECT_EQ(SendTransferRequest(device, 1, start, length), 0);
        CloseBoardHandle(device);
    }
};

TEST_F(PipeTransfer, ReadsWhatTheRequestArmedAndNeverResetsOnSuccess) {
    auto& board = Ready();
    std::vector<std::uint8_t> bytes(16);
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    ASSERT_TRUE(board.WriteEeprom(32, bytes));

    ArmRead(32, 16);
    HANDLE pipe = OpenBoardPipe("PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    unsigned char buffer[64] = {};
    EXPECT_EQ(ReadPipeTimed(pipe, buffer, 16, 1000), 16);
    EXPECT_EQ(0, std::memcmp(buffer, bytes.data(), 16));
    CloseBoardHandle(pipe);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 0);
}

TEST_F(PipeTransfer, AnImmediateCompletionNeitherWaitsNorResets) {
    auto& board = Ready();
    board.SetFault(Target::Pipe02, {FaultMode::Immediate, 0});
    ArmRead(0, 4);
    HANDLE pipe = OpenBoardPipe("PIPE02");
    unsigned char buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(ReadPipeTimed(pipe, buffer, 4, 1000), 4);
    EXPECT_EQ(buffer[0], 0xFF) << "a blank EEPROM reads 0xFF";
    CloseBoardHandle(pipe);
    auto reads = LogEntries(board, vboard::LogOp::Read);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].status, vboard::LogStatus::Immediate);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 0);
}

TEST_F(PipeTransfer, APendingReadPastTheLimitIsCancelledCollectedAndThePipeReset) {
    auto& board = Ready();
    // Nothing armed: the read stays pending. The board takes its time to report the cancel,
    // so a caller that released its records right after cancelling would be caught by ASan.
    board.SetCancelDelay(150);
    HANDLE pipe = OpenBoardPipe("PIPE02");
    {
        auto buffer = std::make_unique<unsigned char[]>(8);
        EXPECT_EQ(ReadPipeTimed(pipe, buffer.get(), 8, 100), -1);
    }
    EXPECT_EQ(standin::PendingRequestCount(), 0u) << "the cancelled read was collected before returning";
    EXPECT_EQ(LogEntries(board, vboard::LogOp::Cancel).size(), 1u);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 1);
    CloseBoardHandle(pipe);
}

TEST_F(PipeTransfer, FailuresResetThePipeAndAShortReadIsStillASuccess) {
    auto& board = Ready();
    board.SetFault(Target::Pipe03, {FaultMode::Fail, ERROR_GEN_FAILURE});
    HANDLE pipe = OpenBoardPipe("PIPE03");
    const unsigned char data[2] = {1, 2};
    EXPECT_EQ(WritePipeTimed(pipe, data, 2, 1000), -1);
    CloseBoardHandle(pipe);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 1);

    board.SetFault(Target::Pipe02, {FaultMode::Short, 3});
    ArmRead(0, 8);
    pipe = OpenBoardPipe("PIPE02");
    unsigned char buffer[8];
    EXPECT_EQ(ReadPipeTimed(pipe, buffer, 8, 1000), 3);
    CloseBoardHandle(pipe);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 1) << "no reset after a success";
}

TEST_F(PipeTransfer, AResetThatHangsIsCancelledAfterASecond) {
    auto& board = Ready();
    board.SetFault(Target::Reset, {FaultMode::Stall, 0});
    board.SetCancelDelay(50);
    HANDLE pipe = OpenBoardPipe("PIPE02");
    unsigned char buffer[4];
    EXPECT_EQ(ReadPipeTimed(pipe, buffer, 4, 50), -1);
    EXPECT_EQ(standin::PendingRequestCount(), 0u);
    EXPECT_EQ(LogEntries(board, vboard::LogOp::Cancel).size(), 2u) << "the read, then the reset";
    CloseBoardHandle(pipe);
}

TEST_F(PipeTransfer, AReadWithoutLimitEndsWhenTheBoardIsUnplugged) {
    auto& board = Ready();
    HANDLE pipe = OpenBoardPipe("PIPE02");
    int result = 0;
    std::thread reader([&] {
        unsigned char buffer[4];
        result = ReadPipeTimed(pipe, buffer, 4, INFINITE);
    });
    ASSERT_TRUE(Eventually([&] { return LogEntries(board, vboard::LogOp::Read).size() == 1; }));
    board.Unplug();
    reader.join();
    EXPECT_EQ(result, -1);
    CloseBoardHandle(pipe);
}

TEST_F(PipeTransfer, AStatusReportArrivesOnTheNoLimitReadWhenAKeyChanges) {
    auto& board = Ready({.clockRunning = false});
    HANDLE pipe = OpenBoardPipe("PIPE00");
    unsigned char report[4] = {};
    int result = 0;
    std::thread reader([&] { result = ReadPipeTimed(pipe, report, 4, INFINITE); });
    ASSERT_TRUE(Eventually([&] { return LogEntries(board, vboard::LogOp::Read).size() == 1; }));
    board.SetClock({12, 34, 56});
    board.SetKey(5, true);
    reader.join();
    EXPECT_EQ(result, 4);
    // The first report may be the clock change or the key; a second read sees the key for sure.
    unsigned char second[4] = {};
    std::thread again([&] { result = ReadPipeTimed(pipe, second, 4, INFINITE); });
    board.SetKey(5, false);
    again.join();
    EXPECT_EQ(result, 4);
    EXPECT_EQ(second[3], 0x12);
    EXPECT_EQ(second[2], 0x34);
    CloseBoardHandle(pipe);
}

// The reset after a failure is skipped only when the caller says it is being stopped: a driver
// that aborts a request by itself reports ERROR_OPERATION_ABORTED as a cancel does.
TEST_F(PipeTransfer, TheResetIsSkippedOnlyWhenTheCallerIsBeingStopped) {
    struct Case {
        const char* what;
        bool cancelledByCaller;  // another thread cancels the read; else the driver aborts it
        bool callerStopping;     // what the caller's stop state says
        int resets;
    };
    const Case cases[] = {
        {"the driver aborts, the caller goes on", false, false, 1},
        {"the driver aborts while the caller is stopping", false, true, 0},
        {"a cancel that is not a stop (a time-out's twin)", true, false, 1},
        {"the caller's stop cancels the read", true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto& board = Ready();
        if (!c.cancelledByCaller) board.SetFault(Target::Pipe02, {FaultMode::Fail, ERROR_OPERATION_ABORTED});
        HANDLE pipe = OpenBoardPipe("PIPE02");
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        std::atomic<bool> stopping{false};
        std::thread stopper;
        if (c.cancelledByCaller)
            stopper = std::thread([&] {
                EXPECT_TRUE(Eventually([&] { return LogEntries(board, vboard::LogOp::Read).size() == 1; }));
                stopping = c.callerStopping;
                CancelIoEx(pipe, nullptr);
            });
        else
            stopping = c.callerStopping;
        unsigned char buffer[4];
        EXPECT_EQ(ReadPipeTimed(pipe, buffer, 4, INFINITE, [&] { return stopping.load(); }), -1);
        if (stopper.joinable()) stopper.join();
        CloseBoardHandle(pipe);
        EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), c.resets);
        bus_->RemoveBoards();
    }
}

}  // namespace
