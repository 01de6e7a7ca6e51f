// The dialogs whose modal loops run, innermost last (window thread only).
#pragma once

#include <afx_winsys.h>

#include <vector>

namespace afx::qt {

std::vector<HWND> OpenDialogs();
void PushDialog(HWND dialog);
void PopDialog(HWND dialog);

// Delivers a message to a live dialog's message map; false if it is gone.
bool DeliverToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace afx::qt
