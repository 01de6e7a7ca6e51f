// The seam between the framework's common code and a window-system backend.
// Not part of the public API: only common/ and the backend include it.
#pragma once

#include <afx_string.h>
#include <afx_template.h>
#include <afx_winsys.h>
#include <afx_wnd.h>

#include <functional>

class CDialog;

namespace afx::backend {

// ---- threads ------------------------------------------------------------------
// True on the thread that runs the windows.
bool IsWindowThread();
// Runs fn on the thread of hwnd and waits for it (directly when called on that
// thread). Returns false without running fn when hwnd names no live window.
bool CallOnWindowThread(HWND hwnd, const std::function<void()>& fn);
// Window thread: runs the calls other threads are waiting on.
void ServePendingCalls();
// Window thread: returns when a call is waiting or after ms milliseconds.
void WaitForPendingCall(DWORD ms);
// Window thread: one wait for any of the handles (at most MAXIMUM_WAIT_OBJECTS - 1) and for a
// call: WAIT_OBJECT_0 + i when handles[i] is signalled, WAIT_OBJECT_0 + count when a call
// waits to be served, WAIT_TIMEOUT after ms milliseconds, WAIT_FAILED.
DWORD WaitForObjectsOrCall(DWORD count, const HANDLE* handles, DWORD ms);

// ---- windows (window thread only, hwnd live) -------------------------------------
INT_PTR RunModal(CDialog& dlg, const afx::DialogTemplate& tmpl);
void EndModal(HWND dlg, int result);
void SetText(HWND hwnd, const CString& text);
CString GetText(HWND hwnd);
bool Enable(HWND hwnd, bool enable);  // returns true if it was disabled
bool IsEnabled(HWND hwnd);
bool IsDialog(HWND hwnd);
LRESULT ControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH, the same for every backend
// (text_messages.cpp): answered through SetText and GetText above.
bool IsTextMessage(UINT message);
LRESULT TextMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefaultDialogMessage(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT type);
HICON SetIcon(HWND dlg, HICON icon, bool big);
bool IsIconic(HWND hwnd);
RECT ClientRect(HWND hwnd);
HDC BeginPaint(HWND hwnd);  // nullptr outside the backend's paint of hwnd
void EndPaint(HWND hwnd, HDC dc);

// ---- resources (any thread) --------------------------------------------------------
HICON LoadIcon(int id);
HBITMAP LoadBitmap(int id);
bool DeleteBitmap(HBITMAP bitmap);
bool DrawIcon(HDC dc, int x, int y, HICON icon);
int SystemMetric(int index);

// ---- program -------------------------------------------------------------------------
int RunMessageLoop();
// AfxTerminateProcess.
[[noreturn]] void TerminateProcessNow(UINT exitCode);

}  // namespace afx::backend

namespace afx::detail {

// The common code's side of the seam, for the backend.
struct WndAccess {
    static void SetHandle(CWnd& wnd, HWND hwnd);
    // The CWnd for a dialog's control, made on first use (before the window shows).
    static CWnd& Child(CDialog& dlg, int id);
    // Delivers a message to the window's message map (window thread). Control
    // notifications (WM_COMMAND with a control handle) are dropped while the
    // dialog exchanges data.
    static LRESULT Deliver(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static bool Handles(CWnd& wnd, UINT message);  // the map has an entry
    static BOOL InitDialog(CDialog& dlg);
};

// AfxTerminateProcess's hook of afx_testing.h: runs it when set (aborting if it returns).
void CallTerminateHook(UINT exitCode);

// The message-box hook of afx_testing.h (empty when unset).
int CallMessageBoxHook(bool* hooked, HWND owner, const CString& text, const CString& caption, UINT type);

}  // namespace afx::detail
