// Varnel's write-then-read session played back by a virtual board: as Varnel recorded it under
// wine from the Windows test build (tests/sessions/varnel-wine.trace), and as it records it here
// (BOARD_TRACE, in a child process). Each must go as recorded: the same requests, in order.
#include <afx_testing.h>

#include <cstdlib>
#include <filesystem>

#include "child_process.h"
#include "vboard/replay.h"
#include "winapi_standin.h"
#include "window_fixture.h"

namespace {

constexpr char kChildBus[] = "VARNEL_SESSION_CHILD_BUS";

// Write de ad be ef at 16, read the 4 bytes back, close.
void WriteThenRead(DialogDriver& driver, RecordingDlg& dlg) {
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_WRITE_START, "16");
        Type(d, IDC_WRITE_DATA, "de ad be ef");
        RunJob(dlg, IDC_WRITE);
        Type(d, IDC_READ_START, "16");
        Type(d, IDC_READ_LENGTH, "4");
        RunJob(dlg, IDC_READ);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "de ad be ef ");
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

// The child's half of ASessionRecordedHereReplays: the session, with BOARD_TRACE set.
TEST(VarnelSessionRecording, DISABLED_Child) {
    const char* bus = std::getenv(kChildBus);
    if (bus == nullptr) GTEST_SKIP() << "run by ASessionRecordedHereReplays";
    standin::SetBusDirectory(bus);
    DialogDriver driver;
    RecordingDlg dlg;
    WriteThenRead(driver, dlg);
}

class VarnelSession : public VarnelWindowTest {
  protected:
    // Plays the trace to Varnel doing the session; every recorded request must come, as recorded.
    void Replay(const std::string& trace) {
        std::string why;
        const auto replay = vboard::Replay::Load(trace, {}, why);
        ASSERT_TRUE(replay) << why;
        bus.AddBoard(vboard::ReplayingBoard(replay));
        WriteThenRead(driver, dlg);
        EXPECT_EQ(replay->Differences(), std::vector<std::string>{});
        EXPECT_EQ(replay->FirstMissing(), "");
    }
};

TEST_F(VarnelSession, ASessionRecordedUnderWineReplays) { Replay(VT_SESSIONS_DIR "/varnel-wine.trace"); }

// Recorded by Varnel here, in a child process with BOARD_TRACE set (VARNEL_KEEP_SESSION: also
// copied there, as tests/sessions/varnel-linux.trace for the wine check is made).
TEST_F(VarnelSession, ASessionRecordedHereReplays) {
    const std::string trace = bus.Directory() + "/varnel.trace";
    {
        GTestBus recording{"varnel-recording"};
        recording.AddBoard();
        const ChildOutcome child = RunThisProgram(
            {"--gtest_filter=VarnelSessionRecording.DISABLED_Child", "--gtest_also_run_disabled_tests"},
            {std::string(kChildBus) + "=" + recording.Directory(), "BOARD_TRACE=" + trace,
             "QT_QPA_PLATFORM=offscreen"},
            60000);
        ASSERT_TRUE(child.ended && child.exitCode == 0) << child.output;
    }
    standin::SetBusDirectory(bus.Directory());  // the recording's bus had taken its place
    if (const char* keep = std::getenv("VARNEL_KEEP_SESSION"))
        std::filesystem::copy_file(trace, keep, std::filesystem::copy_options::overwrite_existing);
    Replay(trace);
}

}  // namespace
