// The Qt backend: dialogs built from templates, keyboard, data exchange, GBK
// text, worker calls, device changes, message boxes and images.
// Compiled with GBK narrow strings; u8"" literals are the UTF-8 Qt shows.
#include <afx_testing.h>
#include <winapi_standin.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "test_dialog.h"

using namespace afx_test;

namespace {

QString U(const char8_t* s) { return QString::fromUtf8(reinterpret_cast<const char*>(s)); }

QDialog* Shown() { return qobject_cast<QDialog*>(QApplication::activeModalWidget()); }

template <typename W = QWidget>
W* Item(int id) {
    return Shown() ? Shown()->findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly) : nullptr;
}

// The controls of the shown dialog in template order.
QList<QWidget*> Controls() {
    QList<QWidget*> out;
    for (QObject* o : Shown()->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && w->accessibleDescription().startsWith("id=")) out << w;
    return out;
}

// Runs the dialog; body runs inside its modal loop, then the dialog ends with
// IDABORT unless body ended it already.
template <typename F>
INT_PTR Run(CTestDlg& dlg, F body) {
    afx::testing::OnNextDialogShown([&](CDialog&) {
        QVERIFY(QTest::qWaitForWindowActive(Shown()));
        body();
        dlg.EndDialog(IDABORT);
    });
    return dlg.DoModal();
}

// Dialog units -> pixels for the base units the "宋体" 9 pt stand-in must give (6 x 12).
int Px(int du) { return (du * 6 + 2) / 4; }
int Py(int du) { return (du * 12 + 4) / 8; }

struct BoxCall {
    CString text, caption;
    UINT type;
    bool onWindowThread;
};

void RecordBoxes(std::vector<BoxCall>& calls, int answer = IDOK) {
    afx::testing::SetMessageBoxHook(
        [&calls, answer](HWND, const CString& text, const CString& caption, UINT type) {
            calls.push_back({text, caption, type, QThread::currentThread() == qApp->thread()});
            return answer;
        });
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { afx::testing::SetMessageBoxHook({}); }

    void layoutMatchesTemplate() {
        CTestDlg dlg;
        Run(dlg, [&] {
            QDialog* d = Shown();
            QCOMPARE(d->size(), QSize(383, 434));  // 255 x 289 dialog units
            QCOMPARE(d->windowTitle(), U(u8"     测试"));
            QCOMPARE(d->objectName(), QString("900"));

            const afx::DialogTemplate* t = afx::FindDialog(kTemplate);
            const QList<QWidget*> controls = Controls();
            QCOMPARE(controls.size(), qsizetype(t->controls.size()));
            for (size_t i = 0; i < t->controls.size(); ++i) {
                const afx::ControlTemplate& c = t->controls[i];
                QWidget* w = controls[qsizetype(i)];
                QCOMPARE(w->objectName(), QString::number(c.id));
                QCOMPARE(w->accessibleDescription(), QString("id=%1").arg(c.id));
                QRect expected(Px(c.x), Py(c.y), Px(c.cx), Py(c.cy));
                if (auto* label = qobject_cast<QLabel*>(w); label && !label->pixmap().isNull())
                    expected.setSize(label->pixmap().size());  // image statics take their image's size
                QCOMPARE(w->geometry(), expected);
            }
            QCOMPARE(Item(kDisplay)->geometry(), QRect(35, 78, 308, 74));
            QCOMPARE(Item(kLamp)->geometry(), QRect(39, 225, 15, 15));
            QCOMPARE(controls[11]->geometry(), QRect(17, 26, 32, 32));  // icon
            QCOMPARE(controls[9]->geometry(), QRect(0, 362, 383, 2));   // separator

            QCOMPARE(qobject_cast<QGroupBox*>(controls[0])->title(), U(u8" 读取E2PROM "));
            QCOMPARE(qobject_cast<QLabel*>(controls[3])->text(), U(u8"起始地址："));
            QCOMPARE(Item<QPushButton>(kRead)->text(), U(u8"读取数据"));
            QCOMPARE(Item<QLabel>(kPrefixLabel)->text(), QString("Prefix & more"));
            for (int id : {kClear, kRead, kNoTabButton}) {
                QVERIFY(!Item<QPushButton>(id)->isDefault());
                QVERIFY(!Item<QPushButton>(id)->autoDefault());
            }

            auto* display = Item<QPlainTextEdit>(kDisplay);
            QVERIFY(display);
            QCOMPARE(display->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(display->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QVERIFY(Item<QLineEdit>(kStart));
            QCOMPARE(Item(kStart)->accessibleName(), U(u8"起始地址："));
            QCOMPARE(Item(kLength)->accessibleName(), U(u8"长度："));
            QCOMPARE(display->accessibleName(), QString("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"));

            // Sixteen bytes of "xx " fit one line under the column ruler; a seventeenth wraps.
            auto lines = [&](int bytes) {
                CString text;
                for (int i = 0; i < bytes; ++i) text += "ab ";
                dlg.GetDlgItem(kDisplay)->SetWindowText(text);
                QCoreApplication::processEvents();
                return display->document()->firstBlock().layout()->lineCount();
            };
            QCOMPARE(lines(16), 1);
            QCOMPARE(lines(17), 2);
        });
    }

    void tabOrderAndFocus() {
        CTestDlg dlg;
        Run(dlg, [&] {
            QCOMPARE(QApplication::focusWidget(), Item(kDisplay));  // first tab stop
            // Template order of the tab stops, out of the multi-line edit too, and round again.
            for (int id : {kStart, kLength, kClear, kRead, kDisplay}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(id));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(kRead));
            QCOMPARE(Item(kNoTabButton)->focusPolicy(), Qt::ClickFocus);
        });
    }

    void enterAndEscape() {
        {  // Enter in a single-line edit: the OK path
            CTestDlg dlg;
            QCOMPARE(Run(dlg, [&] { QTest::keyClick(Item(kStart), Qt::Key_Return); }), INT_PTR(IDOK));
            QCOMPARE(dlg.okCalls, 1);
        }
        {  // keypad Enter in a multi-line edit: OK too, and no new line
            CTestDlg dlg;
            const INT_PTR r = Run(dlg, [&] {
                Item(kDisplay)->setFocus();
                QTest::keyClicks(Item(kDisplay), "ab");
                QTest::keyClick(Item(kDisplay), Qt::Key_Enter, Qt::KeypadModifier);
            });
            QCOMPARE(r, INT_PTR(IDOK));
            QCOMPARE(dlg.readText, CString("ab"));  // pulled by OnOK
        }
        {  // Esc: the Cancel path
            CTestDlg dlg;
            QCOMPARE(Run(dlg, [&] { QTest::keyClick(Item(kLength), Qt::Key_Escape); }), INT_PTR(IDCANCEL));
            QCOMPARE(dlg.cancelCalls, 1);
            QCOMPARE(dlg.okCalls, 0);
        }
        {  // Enter on a focused push button presses that button only
            CTestDlg dlg;
            const INT_PTR r = Run(dlg, [&] {
                Item(kRead)->setFocus();
                QTest::keyClick(Item(kRead), Qt::Key_Return);
                QCOMPARE(dlg.readClicks, 1);
            });
            QCOMPARE(r, INT_PTR(IDABORT));
            QCOMPARE(dlg.okCalls, 0);
        }
        {  // the close box is the system menu's Close: Cancel
            CTestDlg dlg;
            QCOMPARE(Run(dlg, [&] { Shown()->close(); }), INT_PTR(IDCANCEL));
            QCOMPARE(dlg.sysCommands, std::vector<UINT>{SC_CLOSE});
            QCOMPARE(dlg.cancelCalls, 1);
        }
    }

    void dataExchangePushPull() {
        CTestDlg dlg;
        Run(dlg, [&] {
            auto* start = Item<QLineEdit>(kStart);
            QCOMPARE(Item<QLineEdit>(kLength)->text(), QString("1"));  // OnInitDialog pushed
            QCOMPARE(start->text(), QString("0"));

            // A push sends no notifications; SetWindowText outside an exchange does.
            const int before = dlg.displayChanges;
            dlg.readText = "abc";
            dlg.UpdateData(FALSE);
            QCOMPARE(Item<QPlainTextEdit>(kDisplay)->toPlainText(), QString("abc"));
            QCOMPARE(dlg.displayChanges, before);
            dlg.GetDlgItem(kDisplay)->SetWindowText("x");
            QCOMPARE(dlg.displayChanges, before + 1);

            // A push that leaves the text as it is leaves the caret alone.
            start->setText("12");
            start->setCursorPosition(1);
            QVERIFY(dlg.UpdateData(TRUE));
            QCOMPARE(dlg.start, 12);
            dlg.UpdateData(FALSE);
            QCOMPARE(start->cursorPosition(), 1);

            // A failed pull keeps the member, reports FALSE, and the text stays as typed
            // until the member changes.
            start->setText(" 7 ");
            QVERIFY(dlg.UpdateData(TRUE));
            QCOMPARE(dlg.start, 7);
            start->setText("7x");
            QVERIFY(!dlg.UpdateData(TRUE));
            QCOMPARE(dlg.start, 7);
            dlg.UpdateData(FALSE);
            QCOMPARE(start->text(), QString("7x"));
            dlg.start = 9;
            dlg.UpdateData(FALSE);
            QCOMPARE(start->text(), QString("9"));

            // A handler's pull-change-push (the Clear button).
            dlg.GetDlgItem(kDisplay)->SetWindowText("to be cleared");
            QTest::mouseClick(Item(kClear), Qt::LeftButton);
            QCOMPARE(Item<QPlainTextEdit>(kDisplay)->toPlainText(), QString());
            QCOMPARE(dlg.readText, CString(""));
        });
    }

    void numericFieldCanBeClearedAndRetyped() {
        std::vector<BoxCall> boxes;
        RecordBoxes(boxes);
        CTestDlg dlg;
        Run(dlg, [&] {
            auto* field = Item<QLineEdit>(kLength);
            field->setFocus();
            auto clear = [&] {
                field->selectAll();
                QTest::keyClick(field, Qt::Key_Backspace);
            };
            const int changes = dlg.lengthChanges;
            clear();
            QCOMPARE(field->text(), QString());
            QCOMPARE(dlg.length, 1);
            QTest::keyClicks(field, "70");
            QCOMPARE(field->text(), QString("64"));
            QCOMPARE(dlg.length, 64);
            QCOMPARE(dlg.lengthChanges, changes + 3);  // one per keystroke: pushes notify nobody

            clear();
            QTest::keyClick(field, '-');
            QCOMPARE(field->text(), QString("-"));
            QTest::keyClick(field, '5');
            QCOMPARE(field->text(), QString("1"));

            clear();
            QTest::keyClicks(field, "0");
            QCOMPARE(field->text(), QString("1"));

            field->setText("99999999999");  // beyond int: saturates, then clamps
            QCOMPARE(field->text(), QString("64"));
        });
        QCOMPARE(boxes.size(), size_t(0));
    }

    void gbkText() {
        CTestDlg dlg;
        Run(dlg, [&] {
            CWnd* display = dlg.GetDlgItem(kDisplay);
            CWnd* start = dlg.GetDlgItem(kStart);
            Item<QPlainTextEdit>(kDisplay)->setPlainText(U(u8"中文ab"));
            CString text;
            display->GetWindowText(text);
            QCOMPARE(text.GetLength(), 6);  // two bytes per Chinese character
            QCOMPARE(text, CString("中文ab"));

            start->SetWindowText("起始");
            QCOMPARE(Item<QLineEdit>(kStart)->text(), U(u8"起始"));
            Item<QLineEdit>(kStart)->setText(U(u8"a😀b"));  // no GBK character for it
            start->GetWindowText(text);
            QCOMPARE(text, CString("a?b"));
            start->SetWindowText("\x81");  // a lone lead byte
            QCOMPARE(Item<QLineEdit>(kStart)->text(), QString(QChar(0xFFFD)));

            display->SetWindowText("a\r\nb");
            QCOMPARE(Item<QPlainTextEdit>(kDisplay)->toPlainText(), QString("a\nb"));
            QCOMPARE(display->GetWindowTextLength(), 4);

            dlg.SetWindowText("标题");
            QCOMPARE(Shown()->windowTitle(), U(u8"标题"));
            char buffer[5];
            QCOMPARE(dlg.GetWindowText(buffer, sizeof buffer), 4);
            QCOMPARE(CString(buffer), CString("标题"));
        });
    }

    void workerCallsWhileWindowWaits() {
        std::vector<BoxCall> boxes;
        RecordBoxes(boxes);
        struct Job {
            CTestDlg* dlg;
            HBITMAP red;
            CString seen{};
            BOOL wasEnabled = FALSE;
            int box = -1;
        };
        static auto worker = [](LPVOID p) -> UINT {
            auto* job = static_cast<Job*>(p);
            CWnd* dlg = job->dlg;
            dlg->GetDlgItem(kStart)->SetWindowText("42");
            job->wasEnabled = dlg->GetDlgItem(kRead)->IsWindowEnabled();
            dlg->GetDlgItem(kRead)->EnableWindow(FALSE);
            dlg->GetDlgItem(kLamp)->SendMessage(STM_SETIMAGE, IMAGE_BITMAP,
                                                reinterpret_cast<LPARAM>(job->red));
            dlg->GetDlgItem(kDisplay)->GetWindowText(job->seen);
            job->box = dlg->MessageBox("Open driver failed!", "Test Error", MB_OK);
            return 0;
        };
        CTestDlg dlg;
        CBitmap red;
        QVERIFY(red.LoadBitmap(kRed));
        Job job{&dlg, red};
        Run(dlg, [&] {
            dlg.GetDlgItem(kDisplay)->SetWindowText("abc");
            CWinThread* t = AfxBeginThread(+worker, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
            QVERIFY(t);
            t->m_bAutoDelete = FALSE;
            t->ResumeThread();
            // One wait for several threads, serving the worker's calls: the one that ended is named.
            HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            const HANDLE waits[2] = {never, t->m_hThread};
            QCOMPARE(AfxWaitServingCalls(2, waits, 60000), DWORD(WAIT_OBJECT_0 + 1));
            QCOMPARE(AfxWaitServingCalls(1, waits, 20), DWORD(WAIT_TIMEOUT));
            CloseHandle(never);
            delete t;
            QCOMPARE(Item<QLineEdit>(kStart)->text(), QString("42"));
            QVERIFY(!Item(kRead)->isEnabled());
            QCOMPARE(Item<QLabel>(kLamp)->pixmap().toImage().pixel(7, 7), 0xFF000000u | kRedBall);
        });
        QCOMPARE(job.seen, CString("abc"));
        QCOMPARE(job.wasEnabled, TRUE);
        QCOMPARE(job.box, IDOK);
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].caption, CString("Test Error"));
        QCOMPARE(boxes[0].type, UINT(MB_OK));
        QVERIFY(boxes[0].onWindowThread);
    }

    void workerCallsAfterDialogEnded() {
        std::vector<BoxCall> boxes;
        RecordBoxes(boxes);
        struct Job {
            CTestDlg* dlg;
            HANDLE calling;
            CString text = "unset";
            BOOL enabled = TRUE;
            int box = -1;
            LRESULT sent = -1;
        };
        static auto worker = [](LPVOID p) -> UINT {
            auto* job = static_cast<Job*>(p);
            CWnd* dlg = job->dlg;
            SetEvent(job->calling);
            dlg->GetDlgItem(kStart)->SetWindowText("late");  // waits until the dialog is gone
            dlg->GetDlgItem(kStart)->GetWindowText(job->text);
            job->enabled = dlg->GetDlgItem(kRead)->IsWindowEnabled();
            job->box = dlg->MessageBox("too late", "Test Error", MB_OK);
            job->sent = dlg->SendMessage(WM_SYSCOMMAND, 0x0010, 0);
            return 0;
        };
        CTestDlg dlg;
        Job job{&dlg, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        CWinThread* t = nullptr;
        Run(dlg, [&] {
            t = AfxBeginThread(+worker, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
            QVERIFY(t);
            t->m_bAutoDelete = FALSE;
            t->ResumeThread();
            // Not serving calls: the worker's first call waits on this thread.
            QCOMPARE(WaitForSingleObject(job.calling, 10000), DWORD(WAIT_OBJECT_0));
            Sleep(50);
            dlg.EndDialog(IDOK);
        });
        QVERIFY(t);
        QCOMPARE(WaitForSingleObject(t->m_hThread, 30000), DWORD(WAIT_OBJECT_0));
        delete t;
        CloseHandle(job.calling);
        QCOMPARE(job.text, CString(""));
        QCOMPARE(job.enabled, FALSE);
        QCOMPARE(job.box, 0);
        QCOMPARE(job.sent, LRESULT(0));
        QVERIFY(boxes.empty());
        QVERIFY(dlg.sysCommands.empty());
        QVERIFY(dlg.GetDlgItem(kStart) != nullptr);  // still safe to call on
    }

    void deviceChangeReachesDialog() {
        QTemporaryDir bus;
        QVERIFY(bus.isValid());
        standin::SetBusDirectory(bus.path().toStdString());
        CTestDlg dlg;
        Run(dlg, [&] {
            // A board's socket (its name is what the bus lists), not yet plugged: no board to find.
            QFile socket(bus.path() + "/board-1.sock");
            QVERIFY(socket.open(QIODevice::WriteOnly));
            socket.close();
            const int before = dlg.deviceChanges;
            // A board's atomic state update: write a temporary file, rename it over the state file.
            // Now there is a board to find: one device change.
            const QString tmp = bus.path() + "/board-1.state.tmp";
            QFile f(tmp);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("plugged\n");
            f.close();
            QVERIFY(QFile::rename(tmp, bus.path() + "/board-1.state"));
            QVERIFY(afx::testing::ServeEventsUntil([&] { return dlg.deviceChanges > before; }, 20000));

            int n = dlg.deviceChanges;
            afx::testing::PostToDialog(dlg, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            QVERIFY(afx::testing::ServeEventsUntil([&] { return dlg.deviceChanges > n; }, 20000));
            n = dlg.deviceChanges;
            afx::testing::SimulateDeviceChange();
            QVERIFY(afx::testing::ServeEventsUntil([&] { return dlg.deviceChanges > n; }, 20000));
        });
        standin::SetBusDirectory("");
    }

    void systemCommandsAndMessages() {
        CTestDlg dlg;
        const INT_PTR r = Run(dlg, [&] {
            QCOMPARE(afx::testing::ActiveDialog(), static_cast<CDialog*>(&dlg));
            dlg.SendMessage(WM_SYSCOMMAND, 0x0010, 0);
            QCOMPARE(dlg.sysCommands, std::vector<UINT>{0x0010});
            QVERIFY(Shown());
            QCOMPARE(dlg.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(dlg.icon));
            QVERIFY(dlg.icon);
            QCOMPARE(dlg.GetDlgItem(kStart)->SendMessage(0x0401), LRESULT(0));
            dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        QCOMPARE(r, INT_PTR(IDCANCEL));
        QCOMPARE(dlg.cancelCalls, 1);
        QCOMPARE(afx::testing::ActiveDialog(), static_cast<CDialog*>(nullptr));
    }

    void messageBoxes() {
        CTestDlg dlg;
        Run(dlg, [&] {
            const struct {
                UINT type;
                QMessageBox::Icon icon;
            } cases[] = {{MB_OK, QMessageBox::NoIcon},
                         {MB_ICONERROR, QMessageBox::Critical},
                         {MB_ICONWARNING, QMessageBox::Warning}};
            for (const auto& c : cases) {
                QString title, text, button;
                QMessageBox::Icon icon = QMessageBox::Question;
                QTimer::singleShot(0, [&] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (!box) return;
                    title = box->windowTitle();
                    text = box->text();
                    icon = box->icon();
                    button = box->button(QMessageBox::Ok)->text();
                    box->button(QMessageBox::Ok)->click();
                });
                QCOMPARE(dlg.MessageBox("请输入所要写入的数据。", "警告", c.type), IDOK);
                QCOMPARE(title, U(u8"警告"));
                QCOMPARE(text, U(u8"请输入所要写入的数据。"));
                QCOMPARE(icon, c.icon);
                QCOMPARE(button, U(u8"确定"));
            }
        });
    }

    void imagesAndPainting() {
        CTestDlg dlg;
        Run(dlg, [&] {
            auto pixel = [](QWidget* w, int x, int y) {
                return qobject_cast<QLabel*>(w)->pixmap().toImage().pixel(x, y);
            };
            QCOMPARE(pixel(Item(kLamp), 7, 7), 0xFF000000u | kGreenBall);
            QCOMPARE(pixel(Item(kLamp), 0, 0), 0xFFD4D0C8u);
            QWidget* icon = Controls()[11];
            QCOMPARE(pixel(icon, 16, 16), 0xFF000000u | kIconBlue);
            QCOMPARE(qAlpha(pixel(icon, 0, 0)), 0);  // masked corner
            QVERIFY(!Shown()->windowIcon().isNull());
            QCOMPARE(GetSystemMetrics(SM_CXICON), 32);

            CBitmap red;
            QVERIFY(red.LoadBitmap(kRed));
            CWnd* lamp = dlg.GetDlgItem(kLamp);
            const auto previous = reinterpret_cast<HBITMAP>(
                lamp->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(HBITMAP(red))));
            QVERIFY(previous);
            QCOMPARE(pixel(Item(kLamp), 7, 7), 0xFF000000u | kRedBall);
            QCOMPARE(lamp->SendMessage(STM_GETIMAGE, IMAGE_BITMAP), reinterpret_cast<LRESULT>(HBITMAP(red)));
            QVERIFY(DeleteObject(previous));
            QVERIFY(!DeleteObject(previous));  // a stale handle is refused, not freed twice

            // OnPaint draws the icon at the top-left corner through CPaintDC.
            const QImage shot = Shown()->grab().toImage();
            QVERIFY(dlg.paints > 0);
            QCOMPARE(shot.pixel(16, 16), 0xFF000000u | kIconBlue);
        });
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
