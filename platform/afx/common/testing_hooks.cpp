// The message-box hook for tests.
#include <afx_testing.h>

#include <mutex>

#include "backend.h"

namespace {
std::mutex g_hookMutex;
afx::testing::MessageBoxHook g_hook;
}  // namespace

void afx::testing::SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

int afx::detail::CallMessageBoxHook(bool* hooked, HWND owner, const CString& text, const CString& caption,
                                    UINT type) {
    afx::testing::MessageBoxHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    *hooked = static_cast<bool>(hook);
    return hook ? hook(owner, text, caption, type) : 0;
}
