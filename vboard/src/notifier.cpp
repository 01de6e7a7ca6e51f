#include "notifier.h"

#include <algorithm>

namespace vboard {

Notifier::Notifier() : thread_([this] { Run(); }) {}

Notifier::~Notifier() {
    {
        std::lock_guard lock(queueMu_);
        stopping_ = true;
        cv_.notify_one();
        idle_.notify_all();
    }
    thread_.join();
}

void Notifier::Post(Event event) {
    // Nobody watching: nothing to wake the thread for. An observer added later starts from
    // the board's state as it is then.
    if (observed_.load(std::memory_order_acquire) == 0) return;
    std::lock_guard lock(queueMu_);
    if (stopping_) return;
    queue_.push_back(std::move(event));
    cv_.notify_one();
}

void Notifier::Drain() {
    if (std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock lock(queueMu_);
    idle_.wait(lock, [this] { return stopping_ || (queue_.empty() && !delivering_); });
}

void Notifier::Add(BoardObserver* observer) {
    std::unique_lock lock(observersMu_, std::defer_lock);
    if (std::this_thread::get_id() != thread_.get_id()) lock.lock();
    observers_.push_back(observer);
    observed_.store(observers_.size(), std::memory_order_release);
}

void Notifier::Remove(BoardObserver* observer) {
    std::unique_lock lock(observersMu_, std::defer_lock);
    if (std::this_thread::get_id() != thread_.get_id()) lock.lock();
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
    observed_.store(observers_.size(), std::memory_order_release);
}

void Notifier::Run() {
    std::unique_lock lock(queueMu_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Event event = std::move(queue_.front());
        queue_.pop_front();
        delivering_ = true;
        lock.unlock();
        {
            std::lock_guard observersLock(observersMu_);
            // A callback may remove observers (itself included): walk a copy, skip the removed.
            const std::vector<BoardObserver*> snapshot = observers_;
            for (BoardObserver* o : snapshot)
                if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) event(*o);
        }
        lock.lock();
        delivering_ = false;
        if (queue_.empty()) idle_.notify_all();
    }
}

}  // namespace vboard
