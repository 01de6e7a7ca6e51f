// What the window and its transfer worker share while a job runs: which job holds the buttons,
// whether the window is closing, and the handles the worker has open.
#pragma once

#include <windows.h>

#include <atomic>

#include "io_cancel.h"

class JobControl {
  public:
    // Window thread, before it starts a worker: the new job holds the buttons. Returns the
    // job's ticket, which its worker hands back when it ends.
    int JobStarted();
    // Window thread, when the job with this ticket has ended (its worker's last call, or the
    // window when no worker started). True when the job still held the buttons, which are then
    // free; false when none or another job holds them.
    bool JobEnded(int ticket);
    // A job holds the buttons: detection leaves them alone. Window thread.
    bool JobRunning() const { return holder_ != 0; }

    // Window thread, when the dialog opens.
    void Open() { closing_.store(false); }
    // Window thread, at close: the worker stops at its next step and shows nothing more, and
    // whatever it has pending is cancelled.
    void BeginClose();
    bool Closing() const { return closing_.load(); }

    // Worker: register every handle it opens, unregister before closing it.
    IoCanceller& Handles() { return handles_; }

  private:
    int holder_ = 0;  // ticket of the job that holds the buttons, 0 for none; window thread only
    int lastTicket_ = 0;
    std::atomic<bool> closing_{false};
    IoCanceller handles_;
};
