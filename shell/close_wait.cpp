#include "close_wait.h"

#include <algorithm>
#include <chrono>

DWORD WaitForAnyThread(DWORD count, const HANDLE* threads, DWORD ms) {
    return WaitForMultipleObjects(count, threads, FALSE, ms);
}

bool WaitForWorkersWithin(const std::vector<HANDLE>& threads, DWORD boundMs,
                          const std::function<void()>& cancelAgain, ThreadWait wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs);
    std::vector<HANDLE> running = threads;
    while (!running.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const DWORD slice = static_cast<DWORD>(std::clamp<long long>(left, 0, kRecancelMs));
        // A wait can take at most MAXIMUM_WAIT_OBJECTS - 1 handles (one place is the window's);
        // the others are waited for once those have ended.
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(running.size(), MAXIMUM_WAIT_OBJECTS - 1));
        const DWORD r = wait(count, running.data(), slice);
        if (r - WAIT_OBJECT_0 < count) {  // WAIT_OBJECT_0 + i, i < count (unsigned: below wraps)
            running.erase(running.begin() + (r - WAIT_OBJECT_0));
            continue;
        }
        if (r != WAIT_TIMEOUT) return false;  // a handle that cannot be waited on
        if (left <= 0) return false;
        cancelAgain();
    }
    return true;
}
