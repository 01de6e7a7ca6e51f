// Hooks for tests that run dialogs in-process (no afx_main, no CWinApp).
//
// A test calls DoModal itself; what should happen inside the dialog goes into
// a callback that runs on the window's thread once the dialog is shown:
//
//     afx::testing::OnNextDialogShown([&](CDialog& dlg) {
//         ... inspect, click, type ...
//         dlg.EndDialog(IDOK);
//     });
//     dlg.DoModal();
#pragma once

#include <afx_string.h>
#include <afx_winsys.h>

#include <functional>

class CDialog;

namespace afx::testing {

// Runs fn once, on the window's thread, when the next dialog has been shown
// and its modal loop runs. Replaces a callback that has not run yet.
void OnNextDialogShown(std::function<void(CDialog&)> fn);

// The innermost dialog whose modal loop runs, or nullptr.
CDialog* ActiveDialog();

// Replaces message boxes: while set, every MessageBox calls hook (on the
// window's thread) instead of showing a box, and returns its result. An empty
// function restores the real boxes.
using MessageBoxHook = std::function<int(HWND owner, const CString& text, const CString& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Runs instead of ending the process while set, when AfxTerminateProcess is called (a close
// whose wait for its workers ran out). A test run in-process must not end quietly halfway: a
// hook reports it and aborts (the process cannot go on: the end was called because memory
// still in use would otherwise be freed). If the hook returns, the program aborts. An empty
// function restores the real end, which a test that checks it runs in a child process.
void SetTerminateHook(std::function<void(UINT exitCode)> hook);

// Queues message for dlg's window (as PostMessage does); it is delivered
// through the dialog's message map when its thread next serves events.
void PostToDialog(CDialog& dlg, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Delivers WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to every open dialog, as a
// change on the board bus does; returns at once, delivery is queued.
void SimulateDeviceChange();

// Serves queued window events and worker calls on the calling (window) thread
// until pred() holds or timeoutMs passes; returns pred().
bool ServeEventsUntil(const std::function<bool()>& pred, int timeoutMs);

}  // namespace afx::testing
