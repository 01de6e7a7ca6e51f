// Runs callbacks at given times on one thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace vboard {

class TimerQueue {
  public:
    using Clock = std::chrono::steady_clock;

    TimerQueue();
    ~TimerQueue();  // Stop()
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // `callback` runs on the timer thread, without any lock of the queue held. Callbacks due at
    // the same time run in the order they were scheduled.
    void Schedule(Clock::time_point when, std::function<void()> callback);
    // Drops what has not run yet and waits for a running callback to end. Not from a callback.
    void Stop();

  private:
    void Run();

    std::mutex mu_;
    std::condition_variable cv_;
    std::multimap<Clock::time_point, std::function<void()>> due_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vboard
