// Per-thread last error and identifier, pauses and the tick counter.
#include <atomic>
#include <chrono>
#include <thread>

#include "thread_ids.h"

namespace {

thread_local DWORD lastError = 0;
thread_local DWORD threadId = 0;
std::atomic<DWORD> nextThreadId{0x100};

}  // namespace

namespace winapi_impl {

DWORD NewThreadId() {
    DWORD id = nextThreadId.fetch_add(4);
    return id == 0 ? nextThreadId.fetch_add(4) : id;
}

void AdoptThreadId(DWORD id) { threadId = id; }

}  // namespace winapi_impl

extern "C" {

DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

DWORD WINAPI GetCurrentThreadId(void) {
    if (threadId == 0) threadId = winapi_impl::NewThreadId();
    return threadId;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD WINAPI GetTickCount(void) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // extern "C"
