// Jobs started from the window: what reaches the board, what the window shows, the worker's
// failure messages, and what happens when detection or closing meets a running job.
#include <afx_testing.h>

#include <chrono>

#include "board_link.h"
#include "winapi_standin.h"
#include "window_fixture.h"

namespace {

using vboard::Fault;
using vboard::FaultMode;
using vboard::LogOp;
using vboard::Target;

const std::string kWorkerCaption = "Test Error";

std::vector<std::uint8_t> Slice(const vboard::Eeprom& eeprom, int start, int count) {
    return {eeprom.begin() + start, eeprom.begin() + start + count};
}

using VarnelJobs = VarnelWindowTest;

TEST_F(VarnelJobs, EveryByteWrittenIn64ByteJobsIsWhatTheBoardHoldsAndReadsBack) {
    vboard::Board& board = bus.AddBoard();
    ASSERT_TRUE(board.WriteEeprom(0, std::vector<std::uint8_t>(256, 0xFF)));
    std::vector<std::uint8_t> pattern(256);
    for (int i = 0; i < 256; ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + 3);

    driver.Run(dlg, [&](CVarnelDlg& d) {
        for (int start = 0; start < 256; start += 64) {
            Type(d, IDC_WRITE_START, std::to_string(start));
            // Uppercase digits, no trailing space: the board still gets the bytes.
            std::string text = HexText({pattern.begin() + start, pattern.begin() + start + 64});
            text.pop_back();
            for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            Type(d, IDC_WRITE_DATA, text);
            RunJob(dlg, IDC_WRITE);
        }
        ASSERT_EQ(Slice(board.EepromContents(), 0, 256), pattern);

        Type(d, IDC_READ_LENGTH, "64");
        for (int start = 0; start < 256; start += 64) {
            Type(d, IDC_READ_START, std::to_string(start));
            RunJob(dlg, IDC_READ);
            EXPECT_EQ(Text(d, IDC_READ_DISPLAY), HexText(Slice(board.EepromContents(), start, 64))) << start;
        }
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

TEST_F(VarnelJobs, ReadEmptiesTheDisplayThenAppendsToWhatItHoldsWhenTheBytesArrive) {
    vboard::Board& board = bus.AddBoard();
    ASSERT_TRUE(board.WriteEeprom(10, {0x00, 0xAB, 0x10}));
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_DISPLAY, "ff ff ");
        Type(d, IDC_READ_START, "10");
        Type(d, IDC_READ_LENGTH, "3");
        const int before = dlg.JobsEnded();
        Click(d, IDC_READ);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "");
        // The worker's bytes can only arrive once this thread serves its calls again.
        Type(d, IDC_READ_DISPLAY, "typed meanwhile ");
        ASSERT_TRUE(WaitFor([&] { return dlg.JobsEnded() > before; }));
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "typed meanwhile 00 ab 10 ");
    });
}

TEST_F(VarnelJobs, AShortReadShowsOnlyTheBytesReceived) {
    vboard::Board& board = bus.AddBoard();
    ASSERT_TRUE(
        board.WriteEeprom(0, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0xA0, 0xA1, 0xA2, 0xA3}));
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_LENGTH, "8");
        RunJob(dlg, IDC_READ);  // fills the job's buffer
        ASSERT_EQ(Text(d, IDC_READ_DISPLAY), "10 11 12 13 14 15 16 17 ");

        board.SetFault(Target::Pipe02, Fault{FaultMode::Short, 3});
        Type(d, IDC_READ_START, "8");
        RunJob(dlg, IDC_READ);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "a0 a1 a2 ");
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

TEST_F(VarnelJobs, AShortWriteIsReportedAsAFailedTransfer) {
    vboard::Board& board = bus.AddBoard();
    ASSERT_TRUE(board.WriteEeprom(0, {0, 0, 0, 0}));
    board.SetFault(Target::Pipe03, Fault{FaultMode::Short, 2});
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_WRITE_DATA, "01 02 03 04");
        RunJob(dlg, IDC_WRITE);
    });
    ASSERT_EQ(driver.BoxCount(), 1u);
    ExpectLastBox("Data transfer on PIPE03 failed! Aborted.", kWorkerCaption, MB_OK);
    EXPECT_EQ(Slice(board.EepromContents(), 0, 4), (std::vector<std::uint8_t>{1, 2, 0, 0}));
}

TEST_F(VarnelJobs, WorkerFailuresNameThePipeAndGiveTheButtonsBack) {
    vboard::Board& board = bus.AddBoard();
    const struct {
        const char* name;
        std::function<void()> fault;
        int button;
        std::string message;
        const char* pipe;
        LogOp transfer;  // the pipe transfer that must not (refused request) or must (time-out) be tried
    } cases[] = {
        {"pipe does not open", [&] { board.SetPipeOpenError(2, ERROR_FILE_NOT_FOUND); }, IDC_READ,
         "Open driver failed! Can't read from PIPE02.", "PIPE02", LogOp::Read},
        {"pipe does not open", [&] { board.SetPipeOpenError(3, ERROR_FILE_NOT_FOUND); }, IDC_WRITE,
         "Open driver failed! Can't write to PIPE03.", "PIPE03", LogOp::Write},
        {"request refused",
         [&] {
             board.SetFault(Target::Transfer, Fault{FaultMode::Fail, 31});
         },
         IDC_READ, "Requesting data transfer on PIPE02 failed! Aborted.", "PIPE02", LogOp::Read},
        {"request refused",
         [&] {
             board.SetFault(Target::Transfer, Fault{FaultMode::Fail, 31});
         },
         IDC_WRITE, "Requesting data transfer on PIPE03 failed! Aborted.", "PIPE03", LogOp::Write},
        {"no answer", [&] { board.SetFault(Target::Pipe02, Fault{FaultMode::Stall}); }, IDC_READ,
         "Data transfer on PIPE02 failed! Aborted.", "PIPE02", LogOp::Read},
        {"no answer", [&] { board.SetFault(Target::Pipe03, Fault{FaultMode::Stall}); }, IDC_WRITE,
         "Data transfer on PIPE03 failed! Aborted.", "PIPE03", LogOp::Write},
    };
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_WRITE_DATA, "5a");
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + c.pipe);
            board.ClearFaults();
            c.fault();
            const std::size_t transfersBefore = Requests(board, c.pipe, c.transfer);
            const std::size_t resetsBefore = Requests(board, c.pipe, LogOp::Ioctl, vboard::kIoctlResetPipe);
            bool resetBeforeMessage = false;
            driver.OnBox([&](const ShownBox&) {
                resetBeforeMessage =
                    Requests(board, c.pipe, LogOp::Ioctl, vboard::kIoctlResetPipe) > resetsBefore;
                EXPECT_TRUE(ButtonsOff(d)) << "the buttons come back only after the message";
            });
            const std::size_t boxesBefore = driver.BoxCount();
            RunJob(dlg, c.button);
            driver.OnBox({});
            ASSERT_EQ(driver.BoxCount(), boxesBefore + 1);
            ExpectLastBox(c.message, kWorkerCaption, MB_OK);
            EXPECT_TRUE(ButtonsOn(d));
            const std::size_t transfers = Requests(board, c.pipe, c.transfer) - transfersBefore;
            if (std::string(c.name) == "no answer") {
                EXPECT_EQ(transfers, 1u);
                EXPECT_TRUE(resetBeforeMessage) << "the pipe is reset after a time-out";
            } else {
                EXPECT_EQ(transfers, 0u) << "no pipe transfer after a failed step";
            }
        }
    });
}

// Detection during a job used to enable the buttons, so that a second job could start on the
// same record while the first still ran. It now names the board and leaves the buttons to the
// job, whose end gives them back.
TEST_F(VarnelJobs, DetectionDuringAJobLeavesTheButtonsToTheJob) {
    vboard::Board& board = bus.AddBoard({.type = 0x21});
    // The refused request keeps the job waiting in its message box until it is answered.
    board.SetFault(Target::Transfer, Fault{FaultMode::Fail, 31});
    bool checked = false;
    driver.OnBox([&](const ShownBox&) {
        board.SetType(0x22);
        afx::testing::SimulateDeviceChange();
        ASSERT_TRUE(WaitFor([&] { return Title(dlg) == BoardTypeTitle(0x22); })) << "detection did not run";
        EXPECT_TRUE(ButtonsOff(dlg)) << "detection enabled the buttons during a job";
        checked = true;
    });
    driver.Run(dlg, [&](CVarnelDlg& d) {
        RunJob(dlg, IDC_READ);
        EXPECT_TRUE(ButtonsOn(d)) << "the ending job gives the buttons back";
    });
    EXPECT_TRUE(checked);
}

// Documented behaviour: detection with the board gone during a job leaves the buttons off, and
// the ending job turns them on again all the same.
struct UnplugCase {
    int button;
    const char* message;
};
void PrintTo(const UnplugCase& c, std::ostream* os) { *os << "button " << c.button; }

class VarnelUnplugged : public VarnelWindowTest, public ::testing::WithParamInterface<UnplugCase> {};

TEST_P(VarnelUnplugged, AfterDetectionTheWorkerSaysSoAndTheJobGivesTheButtonsBack) {
    const auto [button, message] = GetParam();
    vboard::Board& board = bus.AddBoard();
    bool detected = false;
    driver.OnBox([&](const ShownBox&) {
        detected = WaitFor([&] { return Title(dlg) == kNoBoardTitle; });
        EXPECT_TRUE(ButtonsOff(dlg));
    });
    driver.Run(dlg, [&](CVarnelDlg& d) {
        ASSERT_TRUE(ButtonsOn(d));
        Type(d, IDC_WRITE_DATA, "01 02");
        board.Unplug();
        RunJob(dlg, button);
    });
    EXPECT_TRUE(detected) << "the unplugging was not detected while the message was up";
    ASSERT_EQ(driver.BoxCount(), 1u);
    ExpectLastBox(message, kWorkerCaption, MB_OK);
}

INSTANTIATE_TEST_SUITE_P(
    ReadAndWrite, VarnelUnplugged,
    ::testing::Values(UnplugCase{IDC_READ, "Open device handle failed! Can't read from PIPE02."},
                      UnplugCase{IDC_WRITE, "Open device handle failed! Can't write to PIPE03."}),
    [](const ::testing::TestParamInfo<UnplugCase>& info) {
        return std::string(info.param.button == IDC_READ ? "Read" : "Write");
    });

// Closing while a worker ran used to leave it with a job record inside a destroyed dialog. Now
// the close cancels what the worker has pending and waits for it, so that when the dialog has
// ended nothing of the job is left, and the worker shows nothing more.
struct CloseCase {
    const char* name;
    Target stalled;
    int button;
    bool byEnter;
    const char* target;
    LogOp op;
    std::uint32_t code;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class VarnelClosing : public VarnelWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(VarnelClosing, EndsTheRunningJobBeforeTheDialogIsGone) {
    const CloseCase& c = GetParam();
    vboard::Board& board = bus.AddBoard();
    board.SetFault(c.stalled, Fault{FaultMode::Stall});
    // Whatever is stalled, the reset after a cancelled transfer does not answer either.
    board.SetFault(Target::Reset, Fault{FaultMode::Stall});
    const std::uint64_t mark = LogMark(board);
    const std::size_t handlesBefore = standin::OpenHandleCount();

    std::chrono::steady_clock::time_point closing;
    const INT_PTR result = driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_WRITE_DATA, "01 02 03");
        Click(d, c.button);
        ASSERT_TRUE(WaitFor([&] { return RequestPending(board, c.target, c.op, c.code, mark); }))
            << "the job never reached the stalled step";
        closing = std::chrono::steady_clock::now();
        if (c.byEnter)
            PressEnterIn(d, IDC_WRITE_DATA);
        else
            CloseBox(d);
    });
    const auto closeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closing)
            .count();
    RecordProperty("close_ms", static_cast<int>(closeMs));

    EXPECT_EQ(result, c.byEnter ? IDOK : IDCANCEL);
    // Nothing of the job is left in flight or open once the dialog has ended.
    EXPECT_EQ(standin::PendingRequestCount(), 0u);
    EXPECT_EQ(standin::OpenHandleCount(), handlesBefore);
    EXPECT_GE(Requests(board, c.target, LogOp::Cancel, 0, mark), 1u)
        << "the stalled request was not cancelled";
    // The cancel sticks: the worker issues no pipe reset after it (one would stall too).
    for (const char* pipe : {"PIPE02", "PIPE03"})
        EXPECT_EQ(Requests(board, pipe, LogOp::Ioctl, vboard::kIoctlResetPipe, mark), 0u) << pipe;
    EXPECT_EQ(driver.BoxCount(), 0u) << "a closing window shows no worker failure";
}

INSTANTIATE_TEST_SUITE_P(StalledSteps, VarnelClosing,
                         ::testing::Values(CloseCase{"ReadPipeByCloseBox", Target::Pipe02, IDC_READ, false,
                                                     "PIPE02", LogOp::Read, 0},
                                           CloseCase{"WritePipeByEnter", Target::Pipe03, IDC_WRITE, true,
                                                     "PIPE03", LogOp::Write, 0},
                                           CloseCase{"TransferRequestByEnter", Target::Transfer, IDC_READ,
                                                     true, "device", LogOp::Ioctl, vboard::kIoctlTransfer}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(VarnelJobs, EnterInAFieldEndsTheDialog) {
    bus.AddBoard();
    const INT_PTR result = driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_DISPLAY, "01 ");
        Type(d, IDC_READ_START, "37");
        PressEnterIn(d, IDC_READ_START);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.readText.str(), "01 ") << "OK pulls the fields as the framework does";
    EXPECT_EQ(dlg.readStart, 37);
}

}  // namespace
