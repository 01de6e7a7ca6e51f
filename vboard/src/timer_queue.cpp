#include "timer_queue.h"

namespace vboard {

TimerQueue::TimerQueue() : thread_([this] { Run(); }) {}

TimerQueue::~TimerQueue() { Stop(); }

void TimerQueue::Schedule(Clock::time_point when, std::function<void()> callback) {
    std::lock_guard lock(mu_);
    if (stopping_) return;
    due_.emplace(when, std::move(callback));
    cv_.notify_one();
}

void TimerQueue::Stop() {
    {
        std::lock_guard lock(mu_);
        stopping_ = true;
        due_.clear();
        cv_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
}

void TimerQueue::Run() {
    std::unique_lock lock(mu_);
    while (!stopping_) {
        if (due_.empty()) {
            cv_.wait(lock);
            continue;
        }
        auto first = due_.begin();
        const Clock::time_point when = first->first;  // the entry may go while we wait
        if (when > Clock::now()) {
            cv_.wait_until(lock, when);
            continue;
        }
        auto callback = std::move(first->second);
        due_.erase(first);
        lock.unlock();
        callback();
        lock.lock();
    }
}

}  // namespace vboard
