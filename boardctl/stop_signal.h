// Ending a command early: Ctrl-C asks for a stop, and what the command has pending on the board
// is cancelled so that a read without time limit (--watch) returns.
#pragma once

#include <atomic>

#include "io_cancel.h"

class StopSignal {
  public:
    // Any thread: asks for the stop and cancels what is pending on the registered handles. A
    // caller that may have come between a check and a transfer's start calls it again.
    void Request() {
        requested_.store(true);
        handles_.CancelAll();
    }
    bool Requested() const { return requested_.load(); }
    // The command registers each handle it opens, and unregisters it before closing it.
    IoCanceller& Handles() { return handles_; }

  private:
    std::atomic<bool> requested_{false};
    IoCanceller handles_;
};
