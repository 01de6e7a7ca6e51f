// The Win32 backend's dialogs: one record per dialog window the framework made, from
// WM_INITDIALOG to WM_NCDESTROY, and the cross-thread calls to them.
//
// Controls need no records: they are the dialog manager's own windows, found through
// their dialog. A worker's call is a message sent to the control's dialog, so it runs
// on the window's thread while the worker waits, as SendMessage does; a call to a
// window that is gone finds no dialog record and returns at once.
#pragma once

#include <afx_winsys.h>

#include <functional>
#include <memory>
#include <vector>

class CDialog;

namespace afx::win32 {

struct DialogRecord {
    HWND hwnd = nullptr;
    CDialog* owner = nullptr;
    WNDPROC original = nullptr;           // the dialog class's procedure, for default handling
    std::vector<HBITMAP> ownBitmaps;      // the templates' bitmaps, deleted with the window
    std::function<void(CDialog&)> shown;  // test hook, run once the modal loop runs
};

void AddDialogRecord(std::shared_ptr<DialogRecord> record);
void RemoveDialogRecord(HWND dialog);
// The record of a live framework dialog, or nullptr (any thread).
std::shared_ptr<DialogRecord> FindDialogRecord(HWND dialog);
// The framework's dialogs, innermost (newest) last.
std::vector<HWND> OpenDialogs();

// The thread that runs the windows: the first to run a program or a dialog.
void ClaimWindowThread();

// The message that carries a worker's call to a dialog's thread, and its handler:
// runs the call if its window still lives in this dialog.
UINT WindowCallMessage();
void RunWindowCall(HWND dialog, LPARAM call);

}  // namespace afx::win32
