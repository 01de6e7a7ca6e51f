// Test hooks of the Win32 backend.
#include <afx_testing.h>
#include <afx_wnd.h>
#include <dbt.h>

#include "../common/backend.h"
#include "dialog_win32.h"
#include "window_table.h"

namespace afx::testing {

void OnNextDialogShown(std::function<void(CDialog&)> fn) { afx::win32::SetShownCallback(std::move(fn)); }

CDialog* ActiveDialog() {
    const auto open = afx::win32::OpenDialogs();
    if (open.empty()) return nullptr;
    const auto record = afx::win32::FindDialogRecord(open.back());
    return record ? record->owner : nullptr;
}

void PostToDialog(CDialog& dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = dlg.GetSafeHwnd();
    if (afx::win32::FindDialogRecord(hwnd)) PostMessageW(hwnd, message, wParam, lParam);
}

void SimulateDeviceChange() {
    for (HWND dialog : afx::win32::OpenDialogs())
        PostMessageW(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

bool ServeEventsUntil(const std::function<bool()>& pred, int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    while (!pred()) {
        if (GetTickCount64() >= deadline) return pred();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return pred();
            }
            const auto open = afx::win32::OpenDialogs();
            if (open.empty() || !IsDialogMessageW(open.back(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}

}  // namespace afx::testing
