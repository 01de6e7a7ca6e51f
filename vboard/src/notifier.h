// Delivers board changes to observers on a thread of its own, in order; while nobody observes,
// changes are not posted at all.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "vboard/observer.h"

namespace vboard {

class Notifier {
  public:
    using Event = std::function<void(BoardObserver&)>;

    Notifier();
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void Post(Event event);
    // Waits until everything posted so far has been delivered (returns at once on the notifier thread).
    void Drain();
    void Add(BoardObserver* observer);
    // After it returns the observer is not called again (also when called from a callback).
    void Remove(BoardObserver* observer);

  private:
    void Run();

    std::mutex queueMu_;
    std::condition_variable cv_;
    std::deque<Event> queue_;
    bool stopping_ = false;
    bool delivering_ = false;
    std::condition_variable idle_;

    std::mutex observersMu_;  // held while a callback runs
    std::vector<BoardObserver*> observers_;
    std::atomic<std::size_t> observed_{0};  // observers_.size(), read without the lock

    std::thread thread_;
};

}  // namespace vboard
