#include "modal_stack.h"

#include <afx_wnd.h>

#include <algorithm>

#include "../common/backend.h"
#include "window_table.h"

namespace afx::qt {
namespace {
std::vector<HWND>& Stack() {
    static std::vector<HWND> stack;
    return stack;
}
}  // namespace

std::vector<HWND> OpenDialogs() { return Stack(); }

void PushDialog(HWND dialog) { Stack().push_back(dialog); }

void PopDialog(HWND dialog) { std::erase(Stack(), dialog); }

bool DeliverToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto rec = FindWindow(dialog);
    if (!rec || !rec->owner) return false;
    afx::detail::WndAccess::Deliver(*rec->owner, message, wParam, lParam);
    return true;
}

}  // namespace afx::qt
