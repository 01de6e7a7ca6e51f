// The program of the Win32 backend: its entry (called by WinMain) and message loop.
#include <afx_app.h>

#include "../common/backend.h"
#include "window_table.h"

namespace afx::backend {

// Every dialog is modal and runs its own loop: once InitInstance has returned, the loop
// here only serves what is still open.
int RunMessageLoop() {
    MSG msg;
    while (!afx::win32::OpenDialogs().empty()) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) return r == 0 ? static_cast<int>(msg.wParam) : 0;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

void TerminateProcessNow(UINT exitCode) {
    TerminateProcess(GetCurrentProcess(), exitCode);
    ExitProcess(exitCode);  // not reached: the current process ends within TerminateProcess
}

}  // namespace afx::backend

namespace afx::detail {

int RunProgram(int&, char**) {
    afx::win32::ClaimWindowThread();
    CWinApp* app = AfxGetApp();
    if (!app) {
        MessageBoxW(nullptr, L"No application object: define one static CWinApp-derived object.", nullptr,
                    MB_ICONERROR);
        return 1;
    }
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

}  // namespace afx::detail
