#include "dialog_driver.h"

#include <afx_testing.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdio>
#include <thread>

namespace {
constexpr int kWaitMs = 15000;

// The tests run the windows on the thread that runs main, which also makes the static objects.
const std::thread::id kWindowThread = std::this_thread::get_id();

constexpr int kTransferButtons[] = {IDC_CLEAR_READ, IDC_READ, IDC_CLEAR_WRITE, IDC_WRITE};
}  // namespace

void RecordingDlg::JobEnded(int ticket) {
    EXPECT_NE(std::this_thread::get_id(), kWindowThread) << "a job ends on its worker's thread";
    CVarnelDlg::JobEnded(ticket);
    std::lock_guard hold(lock_);
    ++jobsEnded_;
}

void RecordingDlg::ShowTransferFailure(const char* text) {
    ++failuresReported_;
    CVarnelDlg::ShowTransferFailure(text);
}

void RecordingDlg::DetectBoard() {
    // Copies: a hook may replace the hooks.
    if (auto before = beforeDetection) before();
    ++detections_;
    CVarnelDlg::DetectBoard();
    if (auto after = afterDetection) after();
}

LRESULT RecordingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) ++deviceChanges_;
    return CVarnelDlg::WindowProc(message, wParam, lParam);
}

int RecordingDlg::JobsEnded() const {
    std::lock_guard hold(lock_);
    return jobsEnded_;
}

DialogDriver::DialogDriver() {
    afx::testing::SetTerminateHook([](UINT) {
        ADD_FAILURE() << "a close ended the program: a worker did not end within the bound";
        std::fputs("a close ended the program: a worker did not end within the bound\n", stderr);
    });
    afx::testing::SetMessageBoxHook([this](HWND, const CString& text, const CString& caption, UINT type) {
        const ShownBox box{text.str(), caption.str(), type};
        std::function<void(const ShownBox&)> handler;
        {
            std::lock_guard hold(lock_);
            handler = handler_;
        }
        if (handler) handler(box);
        std::lock_guard hold(lock_);
        boxes_.push_back(box);
        return IDOK;
    });
}

DialogDriver::~DialogDriver() {
    afx::testing::SetMessageBoxHook({});
    afx::testing::SetTerminateHook({});
}

INT_PTR DialogDriver::Run(CVarnelDlg& dlg, const std::function<void(CVarnelDlg&)>& script) {
    afx::testing::OnNextDialogShown([&](CDialog&) {
        script(dlg);
        CloseBox(dlg);
    });
    return dlg.DoModal();
}

void DialogDriver::OnBox(std::function<void(const ShownBox&)> handler) {
    std::lock_guard hold(lock_);
    handler_ = std::move(handler);
}

std::vector<ShownBox> DialogDriver::Boxes() const {
    std::lock_guard hold(lock_);
    return boxes_;
}

std::size_t DialogDriver::BoxCount() const {
    std::lock_guard hold(lock_);
    return boxes_.size();
}

void Type(CVarnelDlg& dlg, int id, const std::string& text) {
    CWnd* item = dlg.GetDlgItem(id);
    ASSERT_NE(item, nullptr) << id;
    item->SetWindowText(text.c_str());
}

std::string Text(CVarnelDlg& dlg, int id) {
    CWnd* item = dlg.GetDlgItem(id);
    if (!item) return "<no control " + std::to_string(id) + ">";
    CString text;
    item->GetWindowText(text);
    return text.str();
}

bool Enabled(CVarnelDlg& dlg, int id) {
    CWnd* item = dlg.GetDlgItem(id);
    return item && item->IsWindowEnabled();
}

bool ButtonsOn(CVarnelDlg& dlg) {
    for (int id : kTransferButtons)
        if (!Enabled(dlg, id)) return false;
    return true;
}

bool ButtonsOff(CVarnelDlg& dlg) {
    for (int id : kTransferButtons)
        if (Enabled(dlg, id)) return false;
    return true;
}

void Click(CVarnelDlg& dlg, int id) {
    ASSERT_TRUE(Enabled(dlg, id)) << "button " << id << " is disabled";
    CWnd* item = dlg.GetDlgItem(id);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item->GetSafeHwnd()));
}

void CloseBox(CVarnelDlg& dlg) { dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }

void PressEnterIn(CVarnelDlg& dlg, int id) {
    // The framework does not hand out its widgets: the field is found by what it shows.
    QWidget* window = QApplication::activeModalWidget();
    ASSERT_NE(window, nullptr);
    const QString text = QString::fromLocal8Bit(Text(dlg, id).c_str());
    std::vector<QWidget*> matches;
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (edit->text() == text) matches.push_back(edit);
    for (QPlainTextEdit* edit : window->findChildren<QPlainTextEdit*>())
        if (edit->toPlainText() == text) matches.push_back(edit);
    ASSERT_EQ(matches.size(), 1u) << "field " << id << " is not the only one showing its text";
    matches.front()->setFocus();
    QTest::keyClick(matches.front(), Qt::Key_Return);
}

void RunJob(RecordingDlg& dlg, int button) {
    const int before = dlg.JobsEnded();
    Click(dlg, button);
    ASSERT_TRUE(ButtonsOff(dlg)) << "the buttons are off while a job runs";
    ASSERT_TRUE(WaitFor([&] { return dlg.JobsEnded() > before; })) << "the job did not end";
}

bool WaitFor(const std::function<bool()>& condition) {
    return afx::testing::ServeEventsUntil(condition, kWaitMs);
}

std::string Title(CVarnelDlg& dlg) {
    CString title;
    dlg.GetWindowText(title);
    return title.str();
}
