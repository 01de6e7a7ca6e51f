// The application object and the program's start.
//
// A program defines exactly one static object of a class derived from
// CWinApp. The framework's entry point (target afx_main: main() here, WinMain
// on Windows) sets up the window system, then calls InitInstance once. When
// InitInstance returns FALSE the program ends at once with ExitInstance()'s
// code; when it returns TRUE, Run() serves windows until the last one closes.
// Tests that run dialogs in-process do not link afx_main and need no CWinApp.
#pragma once

#include <afx_msgmap.h>
#include <afx_winsys.h>

class CWnd;

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();  // 0
    virtual int Run();

    // Kept for source compatibility: controls are always ready to use.
    BOOL Enable3dControls() { return TRUE; }
    BOOL Enable3dControlsStatic() { return TRUE; }

    // Icon resource by number; nullptr if missing. Icons are shared: never delete them.
    HICON LoadIcon(UINT nIDResource) const;

    // The default help command handler. The tools ship no help file, so it does nothing.
    afx_msg void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    LPCSTR m_pszAppName;

    DECLARE_MESSAGE_MAP()
};

// The program's CWinApp, or nullptr when there is none.
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Kept for source compatibility: there are no ActiveX controls to contain.
void AfxEnableControlContainer();

// Ends the program at once with exitCode: no destructor, exit handler or window code runs any
// more, and the system takes back the process's memory and handles. For a program that must
// end while a worker may still have a request pending on memory the program would otherwise
// free (a close whose wait for its workers ran out of time). Where the build has a leak
// checker it looks at the memory first, as at a normal exit; what a pending request may still
// touch is referenced by the threads that wait for it, so it counts as no leak.
[[noreturn]] void AfxTerminateProcess(UINT exitCode);
