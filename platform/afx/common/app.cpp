// CWinApp and the program-wide helpers.
#include <afx_app.h>

#include "backend.h"

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    afx::backend::RunMessageLoop();
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return afx::backend::LoadIcon(static_cast<int>(nIDResource));
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

// On Windows the program's resources are in its own module; elsewhere resources come from
// the registered tables and the instance handle is ignored.
HINSTANCE AfxGetInstanceHandle() {
#ifdef _WIN32
    return GetModuleHandleA(nullptr);
#else
    return nullptr;
#endif
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void AfxEnableControlContainer() {}

void AfxTerminateProcess(UINT exitCode) {
    afx::detail::CallTerminateHook(exitCode);
    afx::backend::TerminateProcessNow(exitCode);
}

#ifndef _WIN32
HICON LoadIconA(HINSTANCE, LPCSTR lpIconName) {
    return afx::backend::LoadIcon(static_cast<int>(reinterpret_cast<ULONG_PTR>(lpIconName) & 0xFFFF));
}

HBITMAP LoadBitmapA(HINSTANCE, LPCSTR lpBitmapName) {
    return afx::backend::LoadBitmap(static_cast<int>(reinterpret_cast<ULONG_PTR>(lpBitmapName) & 0xFFFF));
}

BOOL DeleteObject(HGDIOBJ hObject) {
    return afx::backend::DeleteBitmap(static_cast<HBITMAP>(hObject)) ? TRUE : FALSE;
}

int GetSystemMetrics(int nIndex) { return afx::backend::SystemMetric(nIndex); }

BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon) {
    return afx::backend::DrawIcon(hDC, x, y, hIcon) ? TRUE : FALSE;
}
#endif
