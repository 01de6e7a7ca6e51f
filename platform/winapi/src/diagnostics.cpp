#include "diagnostics.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace winapi_impl {
namespace {

// A burst of lines, then one a second; what is dropped is counted in the next line shown.
constexpr double kBurst = 5;
constexpr double kPerSecond = 1;

struct Limiter {
    std::mutex lock;
    bool on = [] {
        const char* value = std::getenv("VBOARD_DIAGNOSTICS");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    double tokens = kBurst;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    unsigned long dropped = 0;
};

Limiter& TheLimiter() {
    static Limiter limiter;
    return limiter;
}

}  // namespace

void LogProtocolFault(const std::string& peer, const std::string& fault) {
    Limiter& l = TheLimiter();
    std::lock_guard<std::mutex> hold(l.lock);
    if (!l.on) return;
    const auto now = std::chrono::steady_clock::now();
    l.tokens = std::min(kBurst, l.tokens + std::chrono::duration<double>(now - l.last).count() * kPerSecond);
    l.last = now;
    if (l.tokens < 1) {
        ++l.dropped;
        return;
    }
    l.tokens -= 1;
    std::string line = "winapi: board " + peer + ": " + fault + "; connection closed";
    if (l.dropped > 0) line += " (" + std::to_string(l.dropped) + " earlier lines not shown)";
    l.dropped = 0;
    std::fprintf(stderr, "%s\n", line.c_str());
}

void ShowDiagnostics(bool on) {
    Limiter& l = TheLimiter();
    std::lock_guard<std::mutex> hold(l.lock);
    l.on = on;
    l.tokens = kBurst;
    l.dropped = 0;
}

}  // namespace winapi_impl
