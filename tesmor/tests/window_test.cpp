// Tesmor's window through the Qt backend, against in-process virtual boards on a private bus.
// Compiled with GBK narrow strings, as the tool is; u8"" literals are what Qt shows.
#include <afx_testing.h>
#include <winapi_standin.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "board_link.h"
#include "child_process.h"
#include "tesmor_dlg.h"
#include "tesmor_resources.h"
#include "vboard_testing/private_bus.h"
#include "vboard_testing/traffic_log.h"

namespace QTest {
template <>
char* toString(const CString& text) {
    return qstrdup(static_cast<LPCSTR>(text));
}
}  // namespace QTest

namespace {

QString U(const char8_t* s) { return QString::fromUtf8(reinterpret_cast<const char*>(s)); }

QDialog* Shown() { return qobject_cast<QDialog*>(QApplication::activeModalWidget()); }

template <typename W = QWidget>
W* Item(int id) {
    return Shown() ? Shown()->findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly) : nullptr;
}

QRgb Pixel(int id, int x, int y) { return Item<QLabel>(id)->pixmap().toImage().pixel(x, y); }

// The eight lamps as the user sees them: 'g' green, 'R' red, '?' anything else.
QString Lamps() {
    QString out;
    for (int i = 0; i < 8; ++i) {
        const QRgb c = Pixel(IDC_LAMP1 + i, 7, 7);
        out += qGreen(c) > 2 * qRed(c) ? 'g' : qRed(c) > 2 * qGreen(c) ? 'R' : '?';
    }
    return out;
}

QString RedAt(int lamp) {
    QString out(8, 'g');
    if (lamp >= 0) out[lamp] = 'R';
    return out;
}

QString Clock() { return Item<QLabel>(IDC_CLOCK)->text(); }

CString Text(CWnd* wnd) {
    CString text;
    wnd->GetWindowText(text);
    return text;
}

bool ModifyEnabled() { return Item<QPushButton>(IDC_MODIFY)->isEnabled(); }

bool Until(const std::function<bool()>& condition) {
    return afx::testing::ServeEventsUntil(condition, 20000);
}

// Types a value into the field and clicks Modify.
void SendValue(CTesmorDlg& dlg, const char* typed) {
    dlg.GetDlgItem(IDC_VALUE)->SetWindowText(typed);
    Item<QPushButton>(IDC_MODIFY)->click();
}

// Runs the dialog; `body` runs inside its modal loop. Closes it through Cancel unless the
// body did.
template <typename F>
INT_PTR Run(CTesmorDlg& dlg, F body) {
    afx::testing::OnNextDialogShown([&](CDialog&) {
        body();
        if (Shown() && Shown()->isVisible()) dlg.SendMessage(WM_COMMAND, IDCANCEL);
    });
    return dlg.DoModal();
}

struct Box {
    CString text, caption;
    UINT type;
    int resets;  // reset requests on PIPE01 the board had seen when the box came up
};

struct DisplayRecorder : vboard::BoardObserver {
    std::mutex lock;
    std::vector<vboard::Digits> shown;
    void OnDisplayChanged(const vboard::Digits& digits) override {
        std::lock_guard hold(lock);
        shown.push_back(digits);
    }
    std::vector<vboard::Digits> Shown() {
        std::lock_guard hold(lock);
        return shown;
    }
};

const CString kKnown("   QL-3306"), kNoBoard("No Board Attached ");

constexpr char kChildBus[] = "TESMOR_CLOSE_CHILD_BUS";

int ResetsOn(const vboard::Board& board, const std::string& pipe) {
    int resets = 0;
    for (const auto& e : LogEntries(board, pipe))
        resets += e.op == vboard::LogOp::Ioctl && e.code == vboard::kIoctlResetPipe;
    return resets;
}

}  // namespace

class TesmorWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateBus> bus_;
    vboard::Board* board_ = nullptr;
    std::vector<Box> boxes_;

    // A board on the test's bus, its clock standing at 00:00:00; nullptr when it does not start.
    vboard::Board* AddBoard(std::uint8_t type = 0x21) {
        vboard::BoardOptions options;
        options.type = type;
        options.clock = vboard::ClockTime{};
        options.clockRunning = false;
        std::string why;
        vboard::Board& board = bus_->AddBoard(std::move(options), &why);
        return board_ = why.empty() ? &board : nullptr;
    }

    // The poller is waiting for the board's next report.
    bool Polling() { return StillPending(*board_, "PIPE00"); }

  private slots:
    void init() {
        afx::testing::SetTerminateHook([](UINT) {
            std::fputs("a close ended the program: a worker did not end within the bound\n", stderr);
        });
        bus_ = std::make_unique<PrivateBus>("tesmor");
        board_ = nullptr;
        boxes_.clear();
        afx::testing::SetMessageBoxHook([this](HWND, const CString& text, const CString& caption, UINT type) {
            int resets = 0;
            if (board_)
                for (const auto& e : LogEntries(*board_, "PIPE01"))
                    resets += e.op == vboard::LogOp::Ioctl && e.code == vboard::kIoctlResetPipe;
            boxes_.push_back({text, caption, type, resets});
            return IDOK;
        });
    }

    void cleanup() {
        afx::testing::SetMessageBoxHook({});
        QVERIFY(Until([] { return standin::PendingRequestCount() == 0; }));
        bus_.reset();
    }

    void windowAtStart() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(QTest::qWaitForWindowActive(Shown()));
            QCOMPARE(Text(&dlg), kKnown);
            QCOMPARE(Shown()->size(), QSize(477, 287));  // 318 x 191 dialog units
            QCOMPARE(Item<QPushButton>(IDC_MODIFY)->text(), U(u8"修改"));
            QVERIFY(ModifyEnabled() && !Item<QPushButton>(IDC_MODIFY)->autoDefault());
            QCOMPARE(Clock(), QString("00 : 00 : 00"));
            QCOMPARE(Lamps(), RedAt(-1));
            QCOMPARE(Item<QLabel>(IDC_LAMP1)->size(), QSize(15, 15));
            QCOMPARE(Pixel(IDC_LAMP1, 0, 0), 0xFFC0C0C0u);  // light grey ground
            QStringList texts;
            for (auto* label : Shown()->findChildren<QLabel*>()) texts << label->text();
            for (auto* box : Shown()->findChildren<QGroupBox*>()) texts << box->title();
            for (const char8_t* t : {u8" 按键状态 ", u8" 数值显示修改 ", u8"数值：",
                                     u8"注意：请输入十六进制数。", u8"当前时间："})
                QVERIFY2(texts.contains(U(t)), qPrintable(U(t)));

            // Only the field and the button take the focus, the field first.
            QCOMPARE(QApplication::focusWidget(), Item(IDC_VALUE));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Item(IDC_MODIFY));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Item(IDC_VALUE));

            board_->SetKey(0, true);  // the red ball, on its slightly lighter ground
            QVERIFY(Until([] { return Lamps() == RedAt(0); }));
            QCOMPARE(Pixel(IDC_LAMP1, 0, 0), 0xFFCCCCCCu);
        });
    }

    void titleFollowsTheBoardType() {
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QCOMPARE(Text(&dlg), kNoBoard);
            QVERIFY(!ModifyEnabled());
            QVERIFY(AddBoard(0x30));  // its arrival on the bus is a device change
            QVERIFY(Until([&] { return Text(&dlg) == CString("Unknown Board"); }));
            QVERIFY(!ModifyEnabled());
            QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 0);

            board_->SetType(0x22);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Text(&dlg) == CString("   LINKBAY 2.0") && Polling(); }));
            QVERIFY(ModifyEnabled());
        });
    }

    void keysLightLampsAndTheClockFollows() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            for (int key = 0; key < 8; ++key) {
                board_->SetKey(key, true);
                QVERIFY2(Until([&] { return Lamps() == RedAt(key); }), qPrintable(Lamps()));
                board_->SetKey(key, false);  // no key held: the board reports 0xFF, no lamp
                QVERIFY2(Until([] { return Lamps() == RedAt(-1); }), qPrintable(Lamps()));
            }
            board_->SetClock({9, 30, 5});
            QVERIFY(Until([] { return Clock() == "09 : 30 : 05"; }));
            board_->SetClock({23, 59, 59});
            QVERIFY(Until([] { return Clock() == "23 : 59 : 59"; }));
        });
    }

    void modifyRefusesBadValues() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            const char* overflow = "所写数值溢出，最多只能写入8位。";
            const char* notHex = "所写数值格式不对，有可能不是16进制数。";
            const struct {
                const char* typed;
                const char* message;
            } cases[] = {
                {"", "请填入数值。"}, {"ABCDEF123", overflow},
                {"12G4", notHex},     {"数值显示修", overflow},  // 10 bytes
                {"数值显示", notHex},                            // 8 bytes
            };
            for (const auto& c : cases) {
                boxes_.clear();
                SendValue(dlg, c.typed);
                QCOMPARE(boxes_.size(), size_t(1));
                QCOMPARE(boxes_[0].text, CString(c.message));
                QCOMPARE(boxes_[0].caption, CString("错误"));
                QCOMPARE(boxes_[0].type, UINT(MB_ICONERROR));
                QCOMPARE(Text(dlg.GetDlgItem(IDC_VALUE)), CString(c.typed));
            }
            QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Open), 0);
        });
    }

    // Each click starts a writer with its own copy of the digits; a refused value changes no
    // digits.
    void modifyPutsTheValueOnTheDisplay() {
        QVERIFY(AddBoard());
        DisplayRecorder recorder;
        board_->AddObserver(&recorder);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "1A");
            QVERIFY(Until([&] { return board_->Display() == vboard::Digits{0, 0, 0, 0, 0, 0, 1, 10}; }));
            QCOMPARE(Text(dlg.GetDlgItem(IDC_VALUE)), CString("1A"));  // the zeros go to the board only

            SendValue(dlg, "11111111");
            SendValue(dlg, "ABCDEF12");
            QVERIFY(Until([&] { return recorder.Shown().size() == 3; }));
            const vboard::Digits ones{1, 1, 1, 1, 1, 1, 1, 1}, other{10, 11, 12, 13, 14, 15, 1, 2};
            const auto shown = recorder.Shown();
            QVERIFY((shown[1] == ones && shown[2] == other) || (shown[1] == other && shown[2] == ones));
            QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Open), 3);

            SendValue(dlg, "3G");
            QCOMPARE(boxes_.size(), size_t(1));
            QCOMPARE(std::vector<BYTE>(dlg.digitJob.buffer, dlg.digitJob.buffer + 8),
                     std::vector<BYTE>(other.begin(), other.end()));
        });
        board_->RemoveObserver(&recorder);
    }

    void writeFailuresAreReported() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Stall, 0});  // not taken in 50 ms
            SendValue(dlg, "5");
            QVERIFY(Until([&] { return boxes_.size() == 1; }));
            QCOMPARE(boxes_[0].text, CString("Data transfer on PIPE01 failed! Aborted."));
            QCOMPARE(boxes_[0].caption, CString("Test Error"));
            QCOMPARE(boxes_[0].type, UINT(MB_OK));
            QVERIFY(boxes_[0].resets >= 1);  // the pipe was reset before the message

            board_->ClearFaults();
            board_->SetPipeOpenError(1, 2);
            SendValue(dlg, "5");
            QVERIFY(Until([&] { return boxes_.size() == 2; }));
            QCOMPARE(boxes_[1].text, CString("Open driver failed! Can't write to PIPE01."));
            QCOMPARE(boxes_[1].caption, CString("Test Error"));
            QCOMPARE(board_->Display(), vboard::Digits{});
        });
    }

    void unplugAndPlugAgain() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            board_->Unplug();
            QVERIFY(Until([&] { return Text(&dlg) == kNoBoard; }));
            QVERIFY(!ModifyEnabled());
            board_->Plug();
            QVERIFY(Until([&] { return Text(&dlg) == kKnown; }));
            QVERIFY(ModifyEnabled());
            board_->SetKey(6, true);  // a new poller shows it
            QVERIFY(Until([] { return Lamps() == RedAt(6); }));
            QCOMPARE(MostOpenAtOnce(*board_, "PIPE00"), 1);
        });
    }

    // The poller waits in a read the board never answers. A detection that finds the device
    // gone ends it before a later one starts the next poller.
    void aNewConnectionWaitsForThePreviousPoller() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Stall, 0});
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            board_->SetDeviceOpenError(5);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Text(&dlg) == kNoBoard; }));
            board_->SetDeviceOpenError(0);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Text(&dlg) == kKnown && Polling(); }));
            QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 2);
            QCOMPARE(MostOpenAtOnce(*board_, "PIPE00"), 1);
        });
    }

    // A poller that ended on its own leaves the connection flag set; the next detection
    // starts a new one all the same.
    void aPollerThatEndedIsStartedAgain() {
        QVERIFY(AddBoard());
        board_->SetPipeOpenError(0, 5);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QCOMPARE(Text(&dlg), kKnown);
            QVERIFY(Until([&] { return !dlg.pollJob.active; }));
            board_->SetPipeOpenError(0, 0);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Polling(); }));
            board_->SetKey(1, true);
            QVERIFY(Until([] { return Lamps() == RedAt(1); }));
        });
    }

    // A read that brings 1 to 3 bytes would show them mixed with an earlier report's.
    void shortReportsLeaveTheDisplayAlone() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Short, 2});
        CTesmorDlg dlg;
        Run(dlg, [&] {
            // The poller is back for more only once it has handled the earlier reports.
            auto answeredAndBack = [&](int reads) {
                return Until([&] {
                    return CountOps(*board_, "PIPE00", vboard::LogOp::Read, true) >= reads && Polling();
                });
            };
            QVERIFY(answeredAndBack(0));
            board_->SetClock({12, 34, 56});
            QVERIFY(answeredAndBack(1));
            board_->SetKey(3, true);
            QVERIFY(answeredAndBack(2));
            board_->ClearFaults();
            board_->SetKey(4, true);  // answers the read that was asked for under the fault
            QVERIFY(answeredAndBack(3));
            QCOMPARE(Lamps(), RedAt(-1));
            QCOMPARE(Clock(), QString("00 : 00 : 00"));

            board_->SetKey(5, true);
            QVERIFY(Until([] { return Lamps() == RedAt(3) && Clock() == "12 : 34 : 56"; }));
        });
    }

    // Enter in the value field closes the window (there is no default button). The poller,
    // blocked in a read with no time limit, has ended by the time the dialog returns.
    void enterClosesTheWindowAndEndsABlockedPoller() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        QElapsedTimer closing;
        const INT_PTR result = Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            closing.start();
            QTest::keyClick(Item(IDC_VALUE), Qt::Key_Return);
        });
        qInfo("closed in %lld ms", static_cast<long long>(closing.elapsed()));
        QCOMPARE(result, INT_PTR(IDOK));
        QVERIFY(dlg.pollThread != nullptr);
        QCOMPARE(WaitForSingleObject(dlg.pollThread->m_hThread, 0), DWORD(WAIT_OBJECT_0));
        QCOMPARE(standin::PendingRequestCount(), size_t(0));
        bool cancelled = false;
        for (const auto& e : LogEntries(*board_, "PIPE00"))
            cancelled |= e.op == vboard::LogOp::Read && e.error == 995;
        QVERIFY(cancelled);
        // The cancel sticks: the poller issues no pipe reset after it (one would stall too).
        QCOMPARE(ResetsOn(*board_, "PIPE00"), 0);
    }

    // Closing while a digit write waits on the board (the write, or the reset after its time
    // ran out) used to show "Data transfer on PIPE01 failed! Aborted." once the window had gone.
    void closingWhileADigitWriteWaitsShowsNothing() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Stall, 0});
        board_->SetFault(vboard::Target::Reset, {vboard::FaultMode::Stall, 0});
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "5");
            QVERIFY(Until([&] { return StillPending(*board_, "PIPE01", vboard::LogOp::Write); }));
            dlg.SendMessage(WM_COMMAND, IDCANCEL);
        });
        QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Cancel), 1);
        QCOMPARE(int(boxes_.size()), 0);
    }

    // The board takes a digit write only after its 50 ms have run out, and the cancel comes
    // too late (the board ignores it). The value did reach the display: no failure is shown
    // and the pipe is not reset.
    void aWriteTakenJustAfterItsTimeCounts() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Delay, 300});
        board_->SetCancelDelay(vboard::kCancelIgnored);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "7");
            // The writer closes its pipe after it has reported whatever it reports.
            QVERIFY(Until([&] { return CountOps(*board_, "PIPE01", vboard::LogOp::Close) == 1; }));
            board_->SetCancelDelay(0);  // so that the close can end the poller
        });
        QCOMPARE(board_->Display(), (vboard::Digits{0, 0, 0, 0, 0, 0, 0, 7}));
        QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Cancel), 1);  // the time did run out
        QCOMPARE(int(boxes_.size()), 0);
        QCOMPARE(ResetsOn(*board_, "PIPE01"), 0);
    }

    // The running check opens the device and closes it again; `device` keeps no closed
    // handle's value.
    void theRunningCheckKeepsNoClosedHandle() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            const int closes = CountOps(*board_, "device", vboard::LogOp::Close);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return CountOps(*board_, "device", vboard::LogOp::Close) > closes; }));
            QVERIFY(Until([&] { return dlg.device == nullptr; }));
            QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 1);  // the connection went on
        });
    }

    // The poller opens PIPE00 afresh for every report, each time on the board of its
    // detection: a path that discovery finds meanwhile (another board's) does not move it.
    void thePollerStaysOnTheBoardOfItsDetection() {
        vboard::Board* first = AddBoard();
        vboard::Board* second = AddBoard();
        QVERIFY(first && second);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return StillPending(*first, "PIPE00"); }));
            DevicePath.Store(second->DevicePath().c_str());
            auto opens = [&] {
                return CountOps(*first, "PIPE00", vboard::LogOp::Open) +
                       CountOps(*second, "PIPE00", vboard::LogOp::Open);
            };
            for (int key = 1; key <= 3; ++key) {
                const int before = opens();
                first->SetKey(key, true);  // answers the pending read: the poller opens again
                QVERIFY(Until([&] { return Lamps() == RedAt(key) && opens() > before; }));
                QCOMPARE(CountOps(*second, "PIPE00", vboard::LogOp::Open), 0);
                first->SetKey(key, false);
                QVERIFY(Until([&] { return Lamps() == RedAt(-1); }));
            }
            QVERIFY(Until([&] { return StillPending(*first, "PIPE00"); }));
        });
    }

    // A digit write goes to the board that was connected when Modify was clicked, even when
    // discovery finds another board before the writer has opened its pipe.
    void aDigitWriteGoesToTheBoardOfItsClick() {
        vboard::Board* first = AddBoard();
        vboard::Board* second = AddBoard();
        QVERIFY(first && second);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return StillPending(*first, "PIPE00"); }));
            auto writesEnded = [&] {
                return CountOps(*first, "PIPE01", vboard::LogOp::Close) +
                       CountOps(*second, "PIPE01", vboard::LogOp::Close);
            };
            for (BYTE value = 1; value <= 15; ++value) {
                DevicePath.Store(first->DevicePath().c_str());
                const int before = writesEnded();
                char typed[4];
                std::snprintf(typed, sizeof typed, "%X", value);
                SendValue(dlg, typed);
                DevicePath.Store(second->DevicePath().c_str());  // what discovery found next
                QVERIFY(Until([&] { return writesEnded() > before; }));
                QCOMPARE(first->Display(), (vboard::Digits{0, 0, 0, 0, 0, 0, 0, value}));
            }
            QCOMPARE(CountOps(*second, "PIPE01", vboard::LogOp::Open), 0);
            QCOMPARE(second->Display(), vboard::Digits{});
            QCOMPARE(int(boxes_.size()), 0);
        });
    }

    // The child's half of the test below, which runs it: the close ends its process.
    void boundedCloseChild() {
        const char* bus = std::getenv(kChildBus);
        if (bus == nullptr) QSKIP("run by aPollerTheDriverNeverLetsGoEndsTheProgramAtTheBound");
        standin::SetBusDirectory(bus);
        afx::testing::SetTerminateHook({});  // the real end is what the parent checks
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([] { return standin::PendingRequestCount() > 0; }));
            std::printf("closing\n");
            std::fflush(stdout);
            dlg.SendMessage(WM_COMMAND, IDCANCEL);
        });
        std::printf("the dialog returned\n");
    }

    // The poller's read is cancelled at close and the driver never completes it. The close
    // used to wait for it for ever, with the window gone; now the program ends once the
    // close's bound has run out, without a sanitizer report on the way out.
    void aPollerTheDriverNeverLetsGoEndsTheProgramAtTheBound() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Stall, 0});
        board_->SetCancelDelay(vboard::kCancelIgnored);
        const ChildOutcome child = RunThisProgram(
            {"boundedCloseChild"},
            {std::string(kChildBus) + "=" + bus_->Directory(), "QT_QPA_PLATFORM=offscreen"}, 30000);
        QVERIFY2(child.ended, qPrintable("the process outlived its window by 30 s\n" +
                                         QString::fromStdString(child.output)));
        QVERIFY2(child.exitCode == 0, child.output.c_str());
        QVERIFY2(child.output.find("closing") != std::string::npos, child.output.c_str());
        QVERIFY2(child.output.find("the dialog returned") == std::string::npos,
                 "the close waited for the read");
        QVERIFY2(child.output.find("Sanitizer") == std::string::npos, child.output.c_str());
        QVERIFY(Until([&] { return CountOps(*board_, "PIPE00", vboard::LogOp::Close) == 1; }));
        QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Read, true), 0);  // never answered
        std::uint64_t cancelled = 0, closed = 0;
        for (const auto& e : LogEntries(*board_, "PIPE00")) {
            if (e.op == vboard::LogOp::Cancel && !cancelled) cancelled = e.timeMs;
            if (e.op == vboard::LogOp::Close) closed = e.timeMs;
        }
        QVERIFY(cancelled != 0);
        qInfo("the process ended %d ms after the cancel", int(closed - cancelled));
    }

    // With no poller started, and after one that ended on its own, closing waits on nothing
    // that is gone.
    void closingWithoutARunningPoller() {
        {
            CTesmorDlg dlg;
            QCOMPARE(Run(dlg, [] { QTest::keyClick(Item(IDC_VALUE), Qt::Key_Escape); }), INT_PTR(IDCANCEL));
            QVERIFY(dlg.pollThread == nullptr);
        }
        QVERIFY(AddBoard());
        board_->SetPipeOpenError(0, 5);
        CTesmorDlg dlg;
        QCOMPARE(Run(dlg,
                     [&] {
                         QVERIFY(Until([&] { return !dlg.pollJob.active; }));
                         QTest::keyClick(Item(IDC_VALUE), Qt::Key_Escape);
                     }),
                 INT_PTR(IDCANCEL));
    }
};

QTEST_MAIN(TesmorWindowTest)
#include "window_test.moc"
