// The message-box and process-end hooks for tests.
#include <afx_testing.h>

#include <cstdlib>
#include <mutex>

#include "backend.h"

namespace {
std::mutex g_hookMutex;
afx::testing::MessageBoxHook g_hook;
}  // namespace

namespace {
std::function<void(UINT)> g_terminateHook;  // set and run on the window's thread
}  // namespace

void afx::testing::SetTerminateHook(std::function<void(UINT)> hook) { g_terminateHook = std::move(hook); }

void afx::detail::CallTerminateHook(UINT exitCode) {
    if (!g_terminateHook) return;
    g_terminateHook(exitCode);
    std::abort();
}

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
