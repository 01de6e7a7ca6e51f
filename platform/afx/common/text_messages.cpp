// The program's text messages (GBK, narrow buffers, as CWnd::SendMessage carries
// them), answered through the backend's own get and set of a window's text.
#include <algorithm>
#include <cstring>

#include "backend.h"

namespace afx::backend {

bool IsTextMessage(UINT message) {
    return message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH;
}

LRESULT TextMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
            SetText(hwnd, CString(reinterpret_cast<LPCSTR>(lParam)));
            return TRUE;
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<LPSTR>(lParam);
            if (!buffer || wParam == 0) return 0;
            const CString text = GetText(hwnd);
            const size_t n = std::min(static_cast<size_t>(text.GetLength()), static_cast<size_t>(wParam) - 1);
            std::memcpy(buffer, static_cast<LPCSTR>(text), n);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return GetText(hwnd).GetLength();
        default:
            return 0;
    }
}

}  // namespace afx::backend
