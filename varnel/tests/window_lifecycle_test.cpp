// The window's life cycle around its jobs: a close whose driver never lets go, a job's end
// meeting a detection, one board per job, device changes during a close and on the bus.
#include <afx_testing.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "board_link.h"
#include "child_process.h"
#include "close_wait.h"
#include "vbus/bus_dir.h"
#include "winapi_standin.h"
#include "window_fixture.h"

namespace {

using vboard::Fault;
using vboard::FaultMode;
using vboard::LogOp;
using vboard::LogStatus;
using vboard::Target;

using VarnelLifeCycle = VarnelWindowTest;

constexpr char kChildBus[] = "VARNEL_CLOSE_CHILD_BUS";

// The child's half of the test below, which runs it: the close ends its process.
TEST(VarnelBoundedClose, DISABLED_Child) {
    const char* bus = std::getenv(kChildBus);
    if (bus == nullptr) GTEST_SKIP() << "run by AReadTheDriverNeverLetsGoEndsTheProgramAtTheBound";
    standin::SetBusDirectory(bus);
    DialogDriver driver;
    afx::testing::SetTerminateHook({});  // the real end is what the parent checks
    RecordingDlg dlg;
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Click(d, IDC_READ);
        ASSERT_TRUE(WaitFor([] { return standin::PendingRequestCount() > 0; }));
        std::printf("closing\n");
        std::fflush(stdout);
        CloseBox(d);
    });
    std::printf("the dialog returned\n");
}

// The driver never completes the cancelled read. The close used to wait for it for ever, with
// the window gone; now the program ends once the close's bound has run out, without a
// sanitizer report (no leak, no race) on the way out.
TEST(VarnelBoundedClose, AReadTheDriverNeverLetsGoEndsTheProgramAtTheBound) {
    GTestBus bus{"varnel"};
    vboard::Board& board = bus.AddBoard();
    board.SetFault(Target::Transfer, Fault{FaultMode::Immediate});  // so that only the read pends
    board.SetFault(Target::Pipe02, Fault{FaultMode::Stall});
    board.SetCancelDelay(vboard::kCancelIgnored);

    const ChildOutcome child = RunThisProgram(
        {"--gtest_filter=VarnelBoundedClose.DISABLED_Child", "--gtest_also_run_disabled_tests"},
        {std::string(kChildBus) + "=" + bus.Directory(), "QT_QPA_PLATFORM=offscreen"}, 30000);
    ASSERT_TRUE(child.ended) << "the process outlived its window by 30 s\n" << child.output;
    EXPECT_EQ(child.exitCode, int(kCloseBoundExitCode)) << "a forced end is told apart from a normal one\n" << child.output;
    EXPECT_NE(child.output.find("closing"), std::string::npos) << child.output;
    EXPECT_EQ(child.output.find("the dialog returned"), std::string::npos) << "the close waited for the read";
    EXPECT_EQ(child.output.find("Sanitizer"), std::string::npos) << child.output;

    // The board had the read cancelled and never answered it; the end of the process closed
    // the pipe, at about the bound after the cancel.
    std::vector<vboard::LogEntry> closes;
    ASSERT_TRUE(Eventually([&] {
        closes = LogEntries(board, "PIPE02", LogOp::Close);
        return !closes.empty();
    }));
    const auto cancels = LogEntries(board, "PIPE02", LogOp::Cancel);
    ASSERT_FALSE(cancels.empty());
    for (const auto& e : LogEntries(board, "PIPE02", LogOp::Read))
        EXPECT_NE(e.status, LogStatus::Completed) << "the read was answered after all";
    const auto closeMs = static_cast<int>(closes.front().timeMs - cancels.front().timeMs);
    RecordProperty("close_ms", closeMs);
    std::printf("the process ended %d ms after the cancel\n", closeMs);
}

// A job's end and a detection used to race: the worker marked its job ended and only then gave
// the buttons back, so a detection in between enabled them, a click started a second job, and
// the first job's late calls turned the buttons on while the second ran.
TEST_F(VarnelLifeCycle, AJobsEndAndADetectionCannotInterleave) {
    vboard::Board& board = bus.AddBoard();
    // The write ends within the device change's settle sleep, while the window cannot serve it.
    board.SetFault(Target::Pipe03, Fault{FaultMode::Delay, 100});
    std::uint64_t mark = 0;
    bool secondJob = false;
    auto before = [&] {
        // The first job has closed its handles and waits for the window to take its end.
        const bool closed = Eventually([&] {
            for (const auto& e : LogEntries(board, "device", LogOp::Close))
                if (e.sequence > mark) return true;
            return false;
        });
        ASSERT_TRUE(closed);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    auto after = [&] {
        dlg.beforeDetection = {};
        dlg.afterDetection = {};
        if (!Enabled(dlg, IDC_WRITE)) return;
        board.SetFault(Target::Pipe03, Fault{FaultMode::Stall});
        Click(dlg, IDC_WRITE);
        secondJob = true;
    };
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_WRITE_DATA, "01");
        dlg.beforeDetection = before;
        dlg.afterDetection = after;
        mark = LogMark(board);
        Click(d, IDC_WRITE);
        afx::testing::SimulateDeviceChange();
        ASSERT_TRUE(WaitFor([&] { return dlg.JobsEnded() >= 1; }));
        EXPECT_FALSE(secondJob && ButtonsOn(d))
            << "the first job's end turned the buttons on during the second";
        if (!secondJob) {
            EXPECT_TRUE(ButtonsOn(d)) << "the job that held the buttons gave them back";
        }
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// A job used to open the device and then the pipe, each on the device path of the moment; a
// detection in between sent the transfer request to one board and the data to the other.
// Here the path changes between the two boards all the time while jobs run, as detections
// that find first one, then the other, would change it.
TEST_F(VarnelLifeCycle, AJobOpensDeviceAndPipeOnOneBoard) {
    vboard::Board& first = bus.AddBoard();
    vboard::Board& second = bus.AddBoard();
    const std::string paths[2] = {first.DevicePath(), second.DevicePath()};
    std::uint64_t marks[2] = {};
    driver.Run(dlg, [&](CVarnelDlg& d) {
        marks[0] = LogMark(first);
        marks[1] = LogMark(second);
        std::atomic<bool> done{false};
        std::thread detections([&] {
            for (int i = 0; !done; ++i) DevicePath.Store(paths[i % 2].c_str());
        });
        for (int job = 0; job < 20 && driver.BoxCount() == 0; ++job) RunJob(dlg, IDC_READ);
        done = true;
        detections.join();
        EXPECT_TRUE(ButtonsOn(d));
    });
    EXPECT_EQ(driver.BoxCount(), 0u) << driver.Boxes().front().text;
    auto opens = [](const vboard::Board& board, const char* target, std::uint64_t mark) {
        std::size_t n = 0;
        for (const auto& e : LogEntries(board, target, LogOp::Open)) n += e.sequence > mark;
        return n;
    };
    EXPECT_EQ(opens(first, "device", marks[0]), opens(first, "PIPE02", marks[0]));
    EXPECT_EQ(opens(second, "device", marks[1]), opens(second, "PIPE02", marks[1]));
    EXPECT_EQ(opens(first, "device", marks[0]) + opens(second, "device", marks[1]), 20u);
}

// The worker used to append its bytes with two calls to the window, a get and a set of the
// display's text; whatever the user typed in between was lost. Here a key is typed between any
// two calls the window serves, while reads land, and every key stays.
TEST_F(VarnelLifeCycle, TextTypedWhileReadsLandIsKept) {
    vboard::Board& board = bus.AddBoard();
    ASSERT_TRUE(board.WriteEeprom(0, {0xAB}));
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_LENGTH, "1");
        int typed = 0;
        for (int job = 0; job < 5; ++job) {
            const int before = dlg.JobsEnded();
            Click(d, IDC_READ);  // empties the display
            typed = 0;
            ASSERT_TRUE(WaitFor([&] {
                d.GetDlgItem(IDC_READ_DISPLAY)->SetWindowText((Text(d, IDC_READ_DISPLAY) + "k").c_str());
                ++typed;
                return dlg.JobsEnded() > before;
            }));
            const std::string shown = Text(d, IDC_READ_DISPLAY);
            EXPECT_EQ(std::count(shown.begin(), shown.end(), 'k'), typed) << shown;
            EXPECT_NE(shown.find("ab "), std::string::npos) << shown;
        }
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// A close or cancel command that reaches the hidden window while its close waits (sent by
// another program) used to run a second close: its own wait, which then let go of the thread
// handles the first still waited on. It now returns at once and the first close goes on.
TEST_F(VarnelLifeCycle, ASecondCloseDuringTheCloseWaitReturnsAtOnce) {
    vboard::Board& board = bus.AddBoard();
    board.SetFault(Target::Pipe02, Fault{FaultMode::Stall});
    board.SetCancelDelay(300);  // the first close waits this long for the read
    std::thread other;
    int endedWhenTheSecondReturned = -1;
    driver.Run(dlg, [&](CVarnelDlg& d) {
        const std::uint64_t mark = LogMark(board);
        Click(d, IDC_READ);
        ASSERT_TRUE(WaitFor([&] { return RequestPending(board, "PIPE02", LogOp::Read, 0, mark); }));
        other = std::thread([&] {
            ASSERT_TRUE(Eventually([&] { return Requests(board, "PIPE02", LogOp::Cancel, 0, mark) > 0; }));
            dlg.SendMessage(WM_COMMAND, IDCANCEL);
            endedWhenTheSecondReturned = dlg.JobsEnded();
        });
        CloseBox(d);
    });
    other.join();
    EXPECT_EQ(endedWhenTheSecondReturned, 0) << "the second close waited for the job too";
    EXPECT_EQ(dlg.JobsEnded(), 1);
    EXPECT_EQ(standin::PendingRequestCount(), 0u);
}

// A job used to take the device path on its own thread, after the click: a detection in
// between sent it to another board than the one the title named at the click.
TEST_F(VarnelLifeCycle, AJobGoesToTheBoardOfItsClick) {
    vboard::Board& first = bus.AddBoard();
    vboard::Board& second = bus.AddBoard();
    driver.Run(dlg, [&](CVarnelDlg& d) {
        for (int job = 0; job < 10; ++job) {
            DevicePath.Store(first.DevicePath().c_str());
            const int before = dlg.JobsEnded();
            Click(d, IDC_READ);
            DevicePath.Store(second.DevicePath().c_str());  // what a detection found next
            ASSERT_TRUE(WaitFor([&] { return dlg.JobsEnded() > before; }));
        }
    });
    EXPECT_EQ(LogEntries(first, "PIPE02", LogOp::Open).size(), 10u);
    EXPECT_EQ(LogEntries(second, "PIPE02", LogOp::Open).size(), 0u);
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// A device change that reached the window while its close waited for a worker (a sent message,
// served by that wait as on Windows) used to run a full detection, 200 ms settle sleep first.
TEST_F(VarnelLifeCycle, ADeviceChangeDuringTheCloseRunsNoDetection) {
    vboard::Board& board = bus.AddBoard();
    board.SetFault(Target::Pipe02, Fault{FaultMode::Stall});
    board.SetCancelDelay(300);  // the close waits this long for the read
    int detectionsBefore = 0;
    std::thread notifier;
    driver.Run(dlg, [&](CVarnelDlg& d) {
        const std::uint64_t mark = LogMark(board);
        Click(d, IDC_READ);
        ASSERT_TRUE(WaitFor([&] { return RequestPending(board, "PIPE02", LogOp::Read, 0, mark); }));
        detectionsBefore = dlg.Detections();
        notifier = std::thread([&] {
            ASSERT_TRUE(Eventually([&] { return Requests(board, "PIPE02", LogOp::Cancel, 0, mark) > 0; }));
            dlg.SendMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        });
        CloseBox(d);
    });
    notifier.join();
    EXPECT_EQ(dlg.DeviceChanges(), 1) << "the device change did not reach the closing window";
    EXPECT_EQ(dlg.Detections(), detectionsBefore);
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// The board answers the transfer request only after the close has begun (it ignores the
// close's cancel): the job stops there and sends no read to the pipe, which would be a new
// request the close has to cancel and wait for.
TEST_F(VarnelLifeCycle, ARequestAnsweredAfterTheCloseBeganIsFollowedByNoOther) {
    vboard::Board& board = bus.AddBoard();
    // Well within the close's bound, so that the job still ends in time.
    board.SetFault(Target::Transfer, Fault{FaultMode::Delay, 250});
    board.SetCancelDelay(vboard::kCancelIgnored);
    const std::uint64_t mark = LogMark(board);
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Click(d, IDC_READ);
        ASSERT_TRUE(WaitFor(
            [&] { return RequestPending(board, "device", LogOp::Ioctl, vboard::kIoctlTransfer, mark); }));
        CloseBox(d);
    });
    EXPECT_EQ(dlg.JobsEnded(), 1);
    bool answered = false;
    for (const auto& e : LogEntries(board, "device", LogOp::Ioctl))
        answered |= e.sequence > mark && e.code == vboard::kIoctlTransfer &&
                    e.status == LogStatus::Completed && e.error == 0;
    EXPECT_TRUE(answered) << "the board did not answer the transfer request";
    EXPECT_EQ(Requests(board, "PIPE02", LogOp::Read, 0, mark), 0u);
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// A failure whose report reaches the window once its close has begun shows no box: the window
// is gone by then. The worker used to decide that on its own thread, before the window took
// the report, so a close that came in between still got the box.
TEST_F(VarnelLifeCycle, AFailureThatReachesTheWindowDuringItsCloseShowsNoBox) {
    vboard::Board& board = bus.AddBoard();
    board.SetPipeOpenError(2, ERROR_FILE_NOT_FOUND);
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Click(d, IDC_READ);
        // The window serves nothing meanwhile, so the report waits for it.
        ASSERT_TRUE(Eventually([&] { return dlg.FailuresReported() == 1; }));
        CloseBox(d);
    });
    EXPECT_EQ(dlg.JobsEnded(), 1);
    EXPECT_EQ(driver.BoxCount(), 0u) << driver.Boxes().front().text;
}

// The bus directory changes several times for one plug or unplug (a state file written through
// a temporary one, a socket, a TCP endpoint); each change of the boards on the bus is one
// device change and one detection, as on Windows.
TEST_F(VarnelLifeCycle, EachChangeOfTheBoardsRunsOneDetection) {
    driver.Run(dlg, [&](CVarnelDlg&) {
        // Lets a second detection, 200 ms after a second notification, show up if there is one.
        auto settle = [&](int expected) {
            EXPECT_TRUE(WaitFor([&] { return dlg.Detections() >= expected; }));
            afx::testing::ServeEventsUntil([] { return false; }, 600);
            EXPECT_EQ(dlg.Detections(), expected);
        };
        // The board acts on a thread of its own, as another process would, while the window
        // serves its events and so sees each step of the board's writing apart.
        auto onTheSide = [&](const std::function<void()>& act) {
            std::atomic<bool> done{false};
            std::thread side([&] {
                act();
                done = true;
            });
            WaitFor([&] { return done.load(); });
            side.join();
        };
        int expected = dlg.Detections();
        vboard::Board* board = nullptr;
        onTheSide([&] { board = &bus.AddBoard(); });
        settle(++expected);
        EXPECT_EQ(Title(dlg), BoardTypeTitle(0x21));
        // A board's temporary file alone (a slow disk keeps it apart from its rename) is no
        // change of the boards.
        const std::string temporary = vbus::StatePath(bus.Directory(), board->Slot()) + ".tmp1";
        std::ofstream(temporary) << "plugged\n";
        afx::testing::ServeEventsUntil([] { return false; }, 100);
        std::filesystem::remove(temporary);
        settle(expected);
        onTheSide([&] { board->Unplug(); });
        settle(++expected);
        EXPECT_EQ(Title(dlg), kNoBoardTitle);
        onTheSide([&] { board->Plug(); });
        settle(++expected);
        onTheSide([&] { board->Stop(); });
        settle(++expected);
        EXPECT_EQ(Title(dlg), kNoBoardTitle);
        EXPECT_EQ(dlg.DeviceChanges(), expected - 1);
    });
}

}  // namespace
