#include "close_wait.h"

#include <algorithm>
#include <chrono>

bool WaitForWorkersWithin(const std::vector<HANDLE>& threads, DWORD boundMs,
                          const std::function<void()>& cancelAgain, ThreadWait wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs);
    for (HANDLE thread : threads) {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const DWORD slice = static_cast<DWORD>(std::clamp<long long>(left, 0, kRecancelMs));
            if (wait(thread, slice) != WAIT_TIMEOUT) break;
            if (left <= 0) return false;
            cancelAgain();
        }
    }
    return true;
}
