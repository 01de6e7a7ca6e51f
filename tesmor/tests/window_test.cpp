// Tesmor's window through the Qt backend, against in-process virtual boards on a private bus.
// Compiled with GBK narrow strings, as the tool is; u8"" literals are what Qt shows.
#include <afx_testing.h>
#include <winapi_standin.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <mutex>
#include <vector>

#include "board_bus.h"
#include "board_link.h"
#include "tesmor_dlg.h"
#include "tesmor_resources.h"

namespace QTest {
template <>
char* toString(const CString& text) {
    return qstrdup(static_cast<LPCSTR>(text));
}
}  // namespace QTest

namespace {

constexpr int kWaitMs = 20000;

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
        const QRgb centre = Pixel(IDC_LAMP1 + i, 7, 7);
        out += qGreen(centre) > 2 * qRed(centre) ? 'g' : qRed(centre) > 2 * qGreen(centre) ? 'R' : '?';
    }
    return out;
}

QString LampsWithRed(int lamp) {
    QString out(8, 'g');
    out[lamp] = 'R';
    return out;
}

QString ClockShown() { return Item<QLabel>(IDC_CLOCK)->text(); }

CString Title(CTesmorDlg& dlg) {
    CString title;
    dlg.GetWindowText(title);
    return title;
}

bool ModifyEnabled() { return Item<QPushButton>(IDC_MODIFY)->isEnabled(); }

bool Until(const std::function<bool()>& condition) {
    return afx::testing::ServeEventsUntil(condition, kWaitMs);
}

// Types a value into the field and clicks Modify.
void SendValue(CTesmorDlg& dlg, const char* typed) {
    dlg.GetDlgItem(IDC_VALUE)->SetWindowText(typed);
    Item<QPushButton>(IDC_MODIFY)->click();
}

CString FieldText(CTesmorDlg& dlg) {
    CString text;
    dlg.GetDlgItem(IDC_VALUE)->GetWindowText(text);
    return text;
}

// Runs the dialog; `body` runs inside its modal loop. The dialog is closed through Cancel
// unless the body closed it.
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
    int pipe01Resets;  // reset requests on PIPE01 the board had seen when the box came up
};

// Collects every display the board shows, in order.
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

bool IsReset(const vboard::LogEntry& e) {
    return e.op == vboard::LogOp::Ioctl && e.code == vboard::kIoctlResetPipe;
}

}  // namespace

class TesmorWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BoardBus> bus_;
    vboard::Board* board_ = nullptr;  // the board the message boxes look at
    std::vector<Box> boxes_;

    vboard::Board* AddBoard(std::uint8_t type = 0x21) {
        vboard::BoardOptions options;
        options.type = type;
        board_ = bus_->AddBoard(std::move(options));
        return board_;
    }

    // The poller is waiting for the board's next report.
    bool Polling() { return RequestPending(*board_, "PIPE00"); }

  private slots:
    void init() {
        bus_ = std::make_unique<BoardBus>(QTest::currentTestFunction());
        board_ = nullptr;
        boxes_.clear();
        afx::testing::SetMessageBoxHook([this](HWND, const CString& text, const CString& caption, UINT type) {
            int resets = 0;
            if (board_)
                for (const auto& e : PipeLog(*board_, "PIPE01")) resets += IsReset(e);
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
            QCOMPARE(Title(dlg), CString("   QL-3306"));
            QCOMPARE(Shown()->size(), QSize(477, 287));  // 318 x 191 dialog units
            QVERIFY(ModifyEnabled());
            QCOMPARE(Item<QPushButton>(IDC_MODIFY)->text(), U(u8"修改"));
            QVERIFY(!Item<QPushButton>(IDC_MODIFY)->isDefault());
            QVERIFY(!Item<QPushButton>(IDC_MODIFY)->autoDefault());
            QCOMPARE(ClockShown(), QString("00 : 00 : 00"));
            QCOMPARE(Lamps(), QString("gggggggg"));
            QCOMPARE(Item<QLabel>(IDC_LAMP1)->size(), QSize(15, 15));
            QCOMPARE(Pixel(IDC_LAMP1, 0, 0), 0xFFC0C0C0u);  // light grey ground

            QStringList texts;
            for (auto* label : Shown()->findChildren<QLabel*>()) texts << label->text();
            for (auto* box : Shown()->findChildren<QGroupBox*>()) texts << box->title();
            for (const char8_t* t : {u8" 按键状态 ", u8" 数值显示修改 ", u8"数值：",
                                     u8"注意：请输入十六进制数。", u8"当前时间：", u8"1", u8"8"})
                QVERIFY2(texts.contains(U(t)), qPrintable(U(t)));

            // Only the field and the button take the focus, the field first.
            QVERIFY(QTest::qWaitForWindowActive(Shown()));
            QCOMPARE(QApplication::focusWidget(), Item(IDC_VALUE));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Item(IDC_MODIFY));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Item(IDC_VALUE));

            // A pressed key: the red ball on its slightly lighter ground.
            board_->SetKey(0, true);
            QVERIFY(Until([] { return Lamps() == LampsWithRed(0); }));
            QCOMPARE(Pixel(IDC_LAMP1, 0, 0), 0xFFCCCCCCu);
        });
    }

    void titleFollowsTheBoardType() {
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QCOMPARE(Title(dlg), CString("No Board Attached "));
            QVERIFY(!ModifyEnabled());

            QVERIFY(AddBoard(0x30));  // its arrival on the bus is a device change
            QVERIFY(Until([&] { return Title(dlg) == CString("Unknown Board"); }));
            QVERIFY(!ModifyEnabled());
            QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 0);

            board_->SetType(0x22);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Title(dlg) == CString("   LINKBAY 2.0"); }));
            QVERIFY(ModifyEnabled());
            QVERIFY(Until([&] { return Polling(); }));
        });
    }

    void keysLightLampsAndTheClockFollows() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            for (int key = 0; key < 8; ++key) {
                board_->SetKey(key, true);
                QVERIFY2(Until([&] { return Lamps() == LampsWithRed(key); }), qPrintable(Lamps()));
                // No key held: the board reports 0xFF, which lights no lamp.
                board_->SetKey(key, false);
                QVERIFY2(Until([] { return Lamps() == "gggggggg"; }), qPrintable(Lamps()));
            }
            board_->SetClock({9, 30, 5});
            QVERIFY(Until([] { return ClockShown() == "09 : 30 : 05"; }));
            board_->SetClock({23, 59, 59});
            QVERIFY(Until([] { return ClockShown() == "23 : 59 : 59"; }));
        });
    }

    void modifyRefusesBadValues() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            const struct {
                const char* typed;
                const char* message;
            } cases[] = {
                {"", "请填入数值。"},
                {"ABCDEF123", "所写数值溢出，最多只能写入8位。"},
                {"12G4", "所写数值格式不对，有可能不是16进制数。"},
                {"数值显示修", "所写数值溢出，最多只能写入8位。"},       // 10 bytes
                {"数值显示", "所写数值格式不对，有可能不是16进制数。"},  // 8 bytes
                {"1234567数", "所写数值溢出，最多只能写入8位。"},        // 9 bytes
            };
            for (const auto& c : cases) {
                boxes_.clear();
                SendValue(dlg, c.typed);
                QCOMPARE(boxes_.size(), size_t(1));
                QCOMPARE(boxes_[0].text, CString(c.message));
                QCOMPARE(boxes_[0].caption, CString("错误"));
                QCOMPARE(boxes_[0].type, UINT(MB_ICONERROR));
                QCOMPARE(FieldText(dlg), CString(c.typed));
            }
            QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Open), 0);
            QVERIFY(ModifyEnabled());
        });
    }

    void modifyPutsTheValueOnTheDisplay() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "1A");
            QVERIFY(Until([&] { return board_->Display() == vboard::Digits{0, 0, 0, 0, 0, 0, 1, 10}; }));
            QCOMPARE(FieldText(dlg), CString("1A"));  // the zeros go to the board only
            SendValue(dlg, "ABCDEF12");
            QVERIFY(Until([&] { return board_->Display() == vboard::Digits{10, 11, 12, 13, 14, 15, 1, 2}; }));
            QVERIFY(Until([&] { return CountOps(*board_, "PIPE01", vboard::LogOp::Close) == 2; }));
            QVERIFY(boxes_.empty());
            QVERIFY(ModifyEnabled());
        });
    }

    // Two clicks in a row start two writers, each sending its own value; a refused value
    // changes no digits.
    void quickClicksStartAWriterEach() {
        QVERIFY(AddBoard());
        DisplayRecorder recorder;
        board_->AddObserver(&recorder);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "11111111");
            SendValue(dlg, "22222222");
            QVERIFY(Until([&] { return recorder.Shown().size() == 2; }));
            const vboard::Digits ones{1, 1, 1, 1, 1, 1, 1, 1}, twos{2, 2, 2, 2, 2, 2, 2, 2};
            const auto shown = recorder.Shown();
            QVERIFY((shown[0] == ones && shown[1] == twos) || (shown[0] == twos && shown[1] == ones));
            QCOMPARE(CountOps(*board_, "PIPE01", vboard::LogOp::Open), 2);

            SendValue(dlg, "3G");
            QCOMPARE(boxes_.size(), size_t(1));
            QCOMPARE(std::vector<BYTE>(dlg.digitJob.buffer, dlg.digitJob.buffer + 8),
                     std::vector<BYTE>(8, 2));
        });
        board_->RemoveObserver(&recorder);
    }

    void writeFailuresAreReported() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            // The board does not take the digits within 50 ms.
            board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Stall, 0});
            SendValue(dlg, "5");
            QVERIFY(Until([&] { return boxes_.size() == 1; }));
            QCOMPARE(boxes_[0].text, CString("Data transfer on PIPE01 failed! Aborted."));
            QCOMPARE(boxes_[0].caption, CString("Test Error"));
            QCOMPARE(boxes_[0].type, UINT(MB_OK));
            QVERIFY(boxes_[0].pipe01Resets >= 1);  // the pipe was reset before the message
            QCOMPARE(board_->Display(), vboard::Digits{});

            board_->ClearFaults();
            board_->SetPipeOpenError(1, 2);
            SendValue(dlg, "5");
            QVERIFY(Until([&] { return boxes_.size() == 2; }));
            QCOMPARE(boxes_[1].text, CString("Open driver failed! Can't write to PIPE01."));
            QCOMPARE(boxes_[1].caption, CString("Test Error"));
            QCOMPARE(boxes_[1].type, UINT(MB_OK));
        });
    }

    void unplugAndPlugAgain() {
        QVERIFY(AddBoard());
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            board_->Unplug();
            QVERIFY(Until([&] { return Title(dlg) == CString("No Board Attached "); }));
            QVERIFY(!ModifyEnabled());

            board_->Plug();
            QVERIFY(Until([&] { return Title(dlg) == CString("   QL-3306"); }));
            QVERIFY(ModifyEnabled());
            board_->SetKey(6, true);  // a new poller shows it
            QVERIFY(Until([] { return Lamps() == LampsWithRed(6); }));
            QCOMPARE(MostOpenAtOnce(*board_, "PIPE00"), 1);
        });
    }

    // The previous poller is blocked in a read the board never answers. A detection that
    // finds the device gone ends it before a new connection starts another.
    void aNewConnectionWaitsForThePreviousPoller() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Stall, 0});
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QVERIFY(Until([&] { return Polling(); }));
            board_->SetDeviceOpenError(5);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Title(dlg) == CString("No Board Attached "); }));
            board_->SetDeviceOpenError(0);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Title(dlg) == CString("   QL-3306") && Polling(); }));
            QCOMPARE(CountOps(*board_, "PIPE00", vboard::LogOp::Open), 2);
            QCOMPARE(MostOpenAtOnce(*board_, "PIPE00"), 1);
        });
    }

    // A poller that ended on its own leaves the connection flag set; the next detection
    // still starts a new one.
    void aPollerThatEndedIsStartedAgain() {
        QVERIFY(AddBoard());
        board_->SetPipeOpenError(0, 5);
        CTesmorDlg dlg;
        Run(dlg, [&] {
            QCOMPARE(Title(dlg), CString("   QL-3306"));
            QVERIFY(Until([&] { return !dlg.pollJob.active; }));
            board_->SetPipeOpenError(0, 0);
            afx::testing::SimulateDeviceChange();
            QVERIFY(Until([&] { return Polling(); }));
            board_->SetKey(1, true);
            QVERIFY(Until([] { return Lamps() == LampsWithRed(1); }));
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
            QCOMPARE(Lamps(), QString("gggggggg"));
            QCOMPARE(ClockShown(), QString("00 : 00 : 00"));

            // The read already waiting was asked for under the fault: one more short report.
            board_->ClearFaults();
            board_->SetKey(4, true);
            QVERIFY(answeredAndBack(3));
            QCOMPARE(Lamps(), QString("gggggggg"));
            board_->SetKey(5, true);
            QVERIFY(Until([] { return Lamps() == LampsWithRed(3) && ClockShown() == "12 : 34 : 56"; }));
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
        QVERIFY(!dlg.pollJob.active);
        QCOMPARE(standin::PendingRequestCount(), size_t(0));
        bool cancelled = false;
        for (const auto& e : PipeLog(*board_, "PIPE00"))
            cancelled |= e.op == vboard::LogOp::Read && e.error == 995;
        QVERIFY(cancelled);
    }

    // Closing with no poller, and after a poller that ended on its own, waits on nothing
    // that is gone.
    void closingWithoutARunningPoller() {
        {
            CTesmorDlg dlg;
            QCOMPARE(Run(dlg, [&] { QTest::keyClick(Item(IDC_VALUE), Qt::Key_Escape); }), INT_PTR(IDCANCEL));
            QVERIFY(dlg.pollThread == nullptr);
        }
        QVERIFY(AddBoard());
        board_->SetPipeOpenError(0, 5);
        CTesmorDlg dlg;
        const INT_PTR result = Run(dlg, [&] {
            QVERIFY(Until([&] { return !dlg.pollJob.active; }));
            QTest::keyClick(Item(IDC_VALUE), Qt::Key_Escape);
        });
        QCOMPARE(result, INT_PTR(IDCANCEL));
    }

    // A close while a digit write is stuck: the writer is cancelled and waited for.
    void closingWhileAWriteIsPending() {
        QVERIFY(AddBoard());
        board_->SetFault(vboard::Target::Pipe01, {vboard::FaultMode::Stall, 0});
        board_->SetFault(vboard::Target::Reset, {vboard::FaultMode::Stall, 0});
        CTesmorDlg dlg;
        Run(dlg, [&] {
            SendValue(dlg, "7");
            // The write has timed out and the reset after it hangs.
            QVERIFY(Until([&] { return RequestPending(*board_, "PIPE01", vboard::LogOp::Ioctl); }));
            dlg.SendMessage(WM_COMMAND, IDCANCEL);
        });
        QCOMPARE(standin::PendingRequestCount(), size_t(0));
    }
};

QTEST_MAIN(TesmorWindowTest)
#include "window_test.moc"
