#include "dialog_win32.h"

#include <afx_wnd.h>

#include <utility>

#include "../common/backend.h"
#include "dialog_template.h"
#include "images_win32.h"
#include "window_table.h"

namespace afx::win32 {
namespace {

using afx::detail::WndAccess;

struct ModalStart {
    CDialog* dlg;
    const afx::DialogTemplate* tmpl;
};

struct PaintState {
    HWND hwnd = nullptr;
    PAINTSTRUCT ps{};
    HDC dc = nullptr;
    bool begun = false;
};
PaintState* g_paint = nullptr;  // window thread only

std::function<void(CDialog&)>& ShownCallback() {
    static std::function<void(CDialog&)> callback;
    return callback;
}

UINT ShownMessage() {
    static const UINT message = RegisterWindowMessageW(L"afx.dialog-shown");
    return message;
}

// Controls exist in template order; the framework's control objects get their handles
// and image statics their images.
void AttachControls(HWND dialog, CDialog& owner, const afx::DialogTemplate& tmpl, DialogRecord& record) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const afx::ControlTemplate& c : tmpl.controls) {
        if (!child) break;
        if (c.id != IDC_STATIC) WndAccess::SetHandle(WndAccess::Child(owner, c.id), child);
        const DWORD type = c.style & SS_TYPEMASK;
        if (c.cls == afx::ControlClass::Static && type == SS_ICON) {
            if (HICON icon = LoadIconResource(c.image))
                SendMessageW(child, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        } else if (c.cls == afx::ControlClass::Static && type == SS_BITMAP) {
            if (HBITMAP bitmap = LoadBitmapResource(c.image)) {
                record.ownBitmaps.push_back(bitmap);
                SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
            }
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
}

// Over the owner when it shows, else in the middle of the work area.
void Center(HWND dialog) {
    RECT area{};
    const HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &info);
        area = info.rcWork;
    }
    RECT r{};
    GetWindowRect(dialog, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Paint(DialogRecord& record, HWND hwnd) {
    PaintState state;
    state.hwnd = hwnd;
    PaintState* outer = std::exchange(g_paint, &state);
    WndAccess::Deliver(*record.owner, WM_PAINT, 0, 0);
    g_paint = outer;
    if (state.dc) EndPaint(hwnd, &state.ps);  // a handler that kept its context past the paint
    // A handler that painted nothing leaves the window to the default painting.
    if (!state.begun) return CallWindowProcW(record.original, hwnd, WM_PAINT, 0, 0);
    return 0;
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<DialogRecord> record = FindDialogRecord(hwnd);
    if (!record) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WindowCallMessage()) {
        RunWindowCall(hwnd, lParam);
        return 0;
    }
    if (message == ShownMessage()) {
        if (auto fn = std::exchange(record->shown, nullptr)) fn(*record->owner);
        return 0;
    }
    switch (message) {
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            // The system's own text traffic is UTF-16 already; the program's goes
            // through CWnd and is converted there.
            return CallWindowProcW(record->original, hwnd, message, wParam, lParam);
        case WM_PAINT:
            if (WndAccess::Handles(*record->owner, WM_PAINT)) return Paint(*record, hwnd);
            break;
        case WM_NCDESTROY: {
            const LRESULT r = CallWindowProcW(record->original, hwnd, message, wParam, lParam);
            for (HBITMAP bitmap : record->ownBitmaps) DeleteObject(bitmap);
            RemoveDialogRecord(hwnd);
            return r;
        }
        default:
            break;
    }
    return WndAccess::Deliver(*record->owner, message, wParam, lParam);
}

BOOL InitDialog(HWND hwnd, const ModalStart& start) {
    auto record = std::make_shared<DialogRecord>();
    record->hwnd = hwnd;
    record->owner = start.dlg;
    // From here on every message goes through the owner's message map first.
    record->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWindowProc)));
    AddDialogRecord(record);
    AttachControls(hwnd, *start.dlg, *start.tmpl, *record);
    WndAccess::SetHandle(*start.dlg, hwnd);

    RECT before{};
    GetWindowRect(hwnd, &before);
    const BOOL defaultFocus = WndAccess::InitDialog(*start.dlg);
    RECT after{};
    if (IsWindow(hwnd) && GetWindowRect(hwnd, &after) && EqualRect(&before, &after) &&
        !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
        Center(hwnd);  // a dialog its initialisation did not place opens centred, as in MFC
    if (auto& shown = ShownCallback()) {
        record->shown = std::exchange(shown, nullptr);
        PostMessageW(hwnd, ShownMessage(), 0, 0);
    }
    return defaultFocus;  // TRUE: the dialog manager focuses the first tab stop
}

// The dialog procedure: only the start. Everything else reaches DialogWindowProc, which
// falls back on the dialog class's own handling, which asks here and gets FALSE.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    return InitDialog(hwnd, *reinterpret_cast<const ModalStart*>(lParam));
}

}  // namespace

INT_PTR RunModalDialog(CDialog& dlg, const afx::DialogTemplate& tmpl) {
    ClaimWindowThread();
    if (!afx::backend::IsWindowThread()) return -1;

    HWND owner = nullptr;
    if (CWnd* parent = dlg.GetParent(); parent && FindDialogRecord(parent->GetSafeHwnd()))
        owner = parent->GetSafeHwnd();
    if (!owner)
        if (const auto open = OpenDialogs(); !open.empty()) owner = open.back();

    // The program's dialog resource of that number, as the framework loads it; a program
    // without one (the framework's own tests) gets the same template built in memory.
    const ModalStart start{&dlg, &tmpl};
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const LPARAM param = reinterpret_cast<LPARAM>(&start);
    INT_PTR result = 0;
    if (FindResourceW(instance, MAKEINTRESOURCEW(tmpl.id), reinterpret_cast<LPCWSTR>(RT_DIALOG))) {
        result = DialogBoxParamW(instance, MAKEINTRESOURCEW(tmpl.id), owner, &DialogProc, param);
    } else {
        const std::vector<WORD> bytes = BuildDialogTemplate(tmpl);
        result = DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                         &DialogProc, param);
    }
    // Calls workers sent while the window went find it gone now: answer them.
    afx::backend::ServePendingCalls();
    return result;
}

LRESULT CallDialogDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<DialogRecord> record = FindDialogRecord(dialog);
    if (!record || !record->original) return 0;
    return CallWindowProcW(record->original, dialog, message, wParam, lParam);
}

HDC BeginDialogPaint(HWND hwnd) {
    if (!g_paint || g_paint->hwnd != hwnd || g_paint->begun) return nullptr;
    g_paint->begun = true;
    g_paint->dc = BeginPaint(hwnd, &g_paint->ps);
    return g_paint->dc;
}

void EndDialogPaint(HWND hwnd, HDC dc) {
    if (!g_paint || g_paint->hwnd != hwnd || !dc || g_paint->dc != dc) return;
    EndPaint(hwnd, &g_paint->ps);
    g_paint->dc = nullptr;
}

void SetShownCallback(std::function<void(CDialog&)> fn) { ShownCallback() = std::move(fn); }

}  // namespace afx::win32
