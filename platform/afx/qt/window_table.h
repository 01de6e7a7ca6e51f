// The Qt backend's windows: handle table and the calls other threads wait on.
//
// A window handle is a number that names one window for its whole life and is
// never reused, so a worker holding a handle of a window that is gone finds
// nothing instead of another window. Records are created, changed and read
// on the window thread only; the table itself may be searched from any thread.
#pragma once

#include <afx_string.h>
#include <afx_winsys.h>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class CDialog;

namespace afx::qt {

enum class Kind {
    Dialog,
    PushButton,
    GroupBox,
    LineEdit,
    TextEdit,
    TextStatic,
    IconStatic,
    BitmapStatic,
    RectStatic
};

struct Window {
    HWND handle = nullptr;
    HWND dialog = nullptr;  // the dialog it belongs to (itself for a dialog)
    Kind kind = Kind::Dialog;
    int id = 0;
    DWORD style = 0;
    CDialog* owner = nullptr;  // dialogs only
    QPointer<QWidget> widget;
    CString text;              // texts of everything but edits, '&' prefixes kept
    HBITMAP bitmap = nullptr;  // image statics: shown image
    HICON icon = nullptr;
    HICON bigIcon = nullptr;  // dialogs
    HICON smallIcon = nullptr;
};

// Adds a record and gives it a fresh handle.
HWND AddWindow(std::shared_ptr<Window> window);
// The live record for a handle, or nullptr.
std::shared_ptr<Window> FindWindow(HWND handle);
// Removes a dialog and its controls; calls still queued for them are dropped
// and their callers released.
void RemoveDialog(HWND dialog);

// See backend.h.
bool CallOnWindowThread(HWND handle, const std::function<void()>& fn);
void ServePendingCalls();
void WaitForPendingCall(unsigned ms);
// afx::backend::WaitForObjectsOrCall.
DWORD WaitForObjectsOrCall(DWORD count, const HANDLE* handles, DWORD ms);

}  // namespace afx::qt
