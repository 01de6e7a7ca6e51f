// Window operations of the Win32 backend (window thread, live handles): the native
// calls, with the program's GBK texts converted at this boundary.
#include <afx_wnd.h>

#include <algorithm>
#include <string>

#include "../common/backend.h"
#include "dialog_win32.h"
#include "gbk_wide.h"
#include "images_win32.h"
#include "window_table.h"

namespace afx::backend {
namespace {

using afx::win32::GbkFromWide;
using afx::win32::WideFromGbk;

}  // namespace

INT_PTR RunModal(CDialog& dlg, const afx::DialogTemplate& tmpl) {
    return afx::win32::RunModalDialog(dlg, tmpl);
}

void EndModal(HWND dlg, int result) {
    if (afx::win32::FindDialogRecord(dlg)) EndDialog(dlg, result);
}

void SetText(HWND hwnd, const CString& text) { SetWindowTextW(hwnd, WideFromGbk(text.str()).c_str()); }

CString GetText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return CString();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(n, 0)));
    return GbkFromWide(text);
}

bool Enable(HWND hwnd, bool enable) { return EnableWindow(hwnd, enable ? TRUE : FALSE) != FALSE; }

bool IsEnabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

bool IsDialog(HWND hwnd) { return afx::win32::FindDialogRecord(hwnd) != nullptr; }

LRESULT ControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd)) return 0;
    if (IsTextMessage(message)) return TextMessage(hwnd, message, wParam, lParam);
    switch (message) {
        case STM_SETIMAGE:
        case STM_GETIMAGE:
            if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
            return SendMessageW(hwnd, message, wParam, lParam);
        default:
            return 0;
    }
}

LRESULT DefaultDialogMessage(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    // The program's text messages are GBK; the dialog's own window procedure takes UTF-16.
    if (IsTextMessage(message)) return TextMessage(dlg, message, wParam, lParam);
    return afx::win32::CallDialogDefault(dlg, message, wParam, lParam);
}

int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT type) {
    const HWND dialog = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    return MessageBoxW(dialog, WideFromGbk(text.str()).c_str(), WideFromGbk(caption.str()).c_str(), type);
}

HICON SetIcon(HWND dlg, HICON icon, bool big) {
    return reinterpret_cast<HICON>(
        SendMessageW(dlg, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

bool IsIconic(HWND hwnd) { return ::IsIconic(hwnd) != FALSE; }

RECT ClientRect(HWND hwnd) {
    RECT r{0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    return r;
}

HDC BeginPaint(HWND hwnd) { return afx::win32::BeginDialogPaint(hwnd); }

void EndPaint(HWND hwnd, HDC dc) { afx::win32::EndDialogPaint(hwnd, dc); }

HICON LoadIcon(int id) { return afx::win32::LoadIconResource(id); }

HBITMAP LoadBitmap(int id) { return afx::win32::LoadBitmapResource(id); }

bool DeleteBitmap(HBITMAP bitmap) { return bitmap && DeleteObject(bitmap) != FALSE; }

bool DrawIcon(HDC dc, int x, int y, HICON icon) { return ::DrawIcon(dc, x, y, icon) != FALSE; }

int SystemMetric(int index) { return GetSystemMetrics(index); }

}  // namespace afx::backend
