// Waiting on many sockets at once, for the event loops of the board and of the stand-in's
// completion thread.
#pragma once

#include <vector>

#include "vbus/stream.h"

namespace vbus {

struct PollItem {
    NativeSocket socket = -1;
    bool wantRead = false;
    bool wantWrite = false;
    // Results: readable also on end of stream or an error, so that a read finds out which.
    bool readable = false;
    bool writable = false;
};

// Waits until at least one item is ready or `timeoutMs` have passed (-1: no limit). False on an
// error of the wait itself.
bool Poll(std::vector<PollItem>& items, int timeoutMs);

// Wakes a loop that waits in Poll: its socket turns readable when Wake() is called, from any
// thread, until the loop calls Drain().
class Waker {
  public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    bool Valid() const;
    NativeSocket Socket() const;
    void Wake();
    void Drain();

  private:
    NativeSocket read_ = -1;
    NativeSocket write_ = -1;
};

}  // namespace vbus
