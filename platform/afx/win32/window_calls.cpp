// Calls from other threads, carried to the window's thread as sent messages.
#include <atomic>
#include <mutex>
#include <unordered_set>

#include "../common/backend.h"
#include "window_table.h"

namespace afx::win32 {
namespace {

std::atomic<DWORD> g_windowThread{0};

struct WindowCall {
    HWND target;
    const std::function<void()>* fn;
    bool ran = false;
};

// The calls whose callers wait right now. Any process can send the registered message;
// only a pointer found here is one of ours and still valid.
struct WaitingCalls {
    std::mutex mutex;
    std::unordered_set<const WindowCall*> calls;
};

WaitingCalls& Waiting() {
    static WaitingCalls* waiting = new WaitingCalls;  // workers may call during static destruction
    return *waiting;
}

bool IsWaiting(const WindowCall* call) {
    WaitingCalls& w = Waiting();
    std::lock_guard lock(w.mutex);
    return w.calls.count(call) > 0;
}

}  // namespace

void ClaimWindowThread() {
    DWORD none = 0;
    g_windowThread.compare_exchange_strong(none, GetCurrentThreadId());
}

UINT WindowCallMessage() {
    static const UINT message = RegisterWindowMessageW(L"afx.window-call");
    return message;
}

void RunWindowCall(HWND dialog, LPARAM lParam) {
    auto* call = reinterpret_cast<WindowCall*>(lParam);
    if (!IsWaiting(call) || !IsWindow(call->target) || GetAncestor(call->target, GA_ROOT) != dialog) return;
    (*call->fn)();
    call->ran = true;
}

}  // namespace afx::win32

namespace afx::backend {

bool IsWindowThread() { return GetCurrentThreadId() == afx::win32::g_windowThread.load(); }

bool CallOnWindowThread(HWND hwnd, const std::function<void()>& fn) {
    if (!hwnd || !IsWindow(hwnd)) return false;
    const HWND dialog = GetAncestor(hwnd, GA_ROOT);
    if (!afx::win32::FindDialogRecord(dialog)) return false;
    if (GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId()) {
        fn();
        return true;
    }
    // Returns 0 at once when the dialog is gone, and when it goes while the call waits.
    afx::win32::WindowCall call{hwnd, &fn};
    afx::win32::WaitingCalls& waiting = afx::win32::Waiting();
    {
        std::lock_guard lock(waiting.mutex);
        waiting.calls.insert(&call);
    }
    SendMessageW(dialog, afx::win32::WindowCallMessage(), 0, reinterpret_cast<LPARAM>(&call));
    {
        std::lock_guard lock(waiting.mutex);
        waiting.calls.erase(&call);
    }
    return call.ran;
}

void ServePendingCalls() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void WaitForPendingCall(DWORD ms) { MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_SENDMESSAGE, 0); }

DWORD WaitForObjectsOrCall(DWORD count, const HANDLE* handles, DWORD ms) {
    return MsgWaitForMultipleObjectsEx(count, handles, ms, QS_SENDMESSAGE, 0);
}

}  // namespace afx::backend
