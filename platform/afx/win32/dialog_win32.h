// Modal dialogs of the Win32 backend: DialogBoxIndirectParamW over the template, the
// native dialog manager for keyboard and focus (Tab, Enter -> the default button or
// IDOK, Esc -> IDCANCEL), and every message routed through the owner's message map.
#pragma once

#include <afx_template.h>

#include <functional>

class CDialog;

namespace afx::win32 {

INT_PTR RunModalDialog(CDialog& dlg, const afx::DialogTemplate& tmpl);

// The native default handling of a framework dialog's message.
LRESULT CallDialogDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Paint context of the WM_PAINT being delivered to hwnd; nullptr at any other time.
HDC BeginDialogPaint(HWND hwnd);
void EndDialogPaint(HWND hwnd, HDC dc);

// Test hook: fn runs once, when the next dialog's modal loop runs.
void SetShownCallback(std::function<void(CDialog&)> fn);

}  // namespace afx::win32
