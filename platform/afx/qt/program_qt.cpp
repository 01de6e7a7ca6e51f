// The Qt application: its look, modal dialogs and the program's entry.
#include "program_qt.h"

#include <afx_app.h>
#include <afx_wnd.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "../common/backend.h"
#include "bus_watcher.h"
#include "dialog_window.h"
#include "modal_stack.h"
#include "window_table.h"

namespace afx::qt {

void InstallLook() {
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    // The dialogs ask for "宋体"; a Song/Ming-style CJK face with the same
    // metrics stands in for it, for the whole application (message boxes too).
    const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL SungtiL GB"),
                              QStringLiteral("Noto Serif CJK SC")};
    QFont::insertSubstitutions(QString::fromUtf8("宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
    if (QStyle* style = QStyleFactory::create(QStringLiteral("windows"))) QApplication::setStyle(style);
    QFont font(QString::fromUtf8("宋体"));
    font.setPixelSize(12);  // 9 pt on a 96-dpi screen
    QApplication::setFont(font);
}

QApplication* EnsureApplication() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    if (QCoreApplication::instance()) return nullptr;  // a non-GUI application: no windows possible
    static int argc = 1;
    static char name[] = "afx";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);  // lives until the process ends
}

}  // namespace afx::qt

namespace {
std::function<void(CDialog&)>& ShownCallback() {
    static std::function<void(CDialog&)> callback;
    return callback;
}
}  // namespace

void afx::qt::SetShownCallback(std::function<void(CDialog&)> fn) { ShownCallback() = std::move(fn); }

namespace afx::backend {

bool IsWindowThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

INT_PTR RunModal(CDialog& dlg, const afx::DialogTemplate& tmpl) {
    if (!afx::qt::EnsureApplication() || !IsWindowThread()) return -1;
    afx::qt::InstallLook();
    afx::qt::StartBusWatcher();

    QWidget* parent = nullptr;
    if (CWnd* p = dlg.GetParent())
        if (auto rec = afx::qt::FindWindow(p->GetSafeHwnd())) parent = rec->widget;
    if (!parent && !afx::qt::OpenDialogs().empty())
        if (auto rec = afx::qt::FindWindow(afx::qt::OpenDialogs().back())) parent = rec->widget;

    auto* window = new afx::qt::DialogWindow(dlg, tmpl, parent);
    const HWND handle = window->handle();
    afx::qt::PushDialog(handle);
    if (afx::detail::WndAccess::InitDialog(dlg)) window->FocusFirstTabStop();
    if (auto& shown = ShownCallback()) {
        auto fn = std::move(shown);
        shown = nullptr;
        QTimer::singleShot(0, window, [fn, &dlg] { fn(dlg); });
    }
    const int result = window->RunModalLoop();
    afx::qt::PopDialog(handle);
    afx::qt::RemoveDialog(handle);
    delete window;
    return result;
}

int RunMessageLoop() { return QCoreApplication::instance() ? QCoreApplication::exec() : 0; }

// The leak checker of an AddressSanitizer build; absent (null) in every other build.
extern "C" __attribute__((weak)) void __lsan_do_leak_check();

void TerminateProcessNow(UINT exitCode) {
    std::fflush(nullptr);
    // _exit runs no exit handler, and so not the leak check either: it runs here, on the
    // memory as the program leaves it (a leak ends the process with the checker's own code).
    if (__lsan_do_leak_check) __lsan_do_leak_check();
    ::_exit(static_cast<int>(exitCode));
}

}  // namespace afx::backend

namespace afx::detail {

int RunProgram(int& argc, char** argv) {
    QApplication app(argc, argv);
    afx::qt::InstallLook();
    CWinApp* theApp = AfxGetApp();
    if (!theApp) {
        std::fprintf(stderr, "no application object: define one static CWinApp-derived object\n");
        return 1;
    }
    if (!theApp->InitInstance()) return theApp->ExitInstance();
    return theApp->Run();
}

}  // namespace afx::detail
