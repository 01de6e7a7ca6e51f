// What the window and its transfer worker share while a job runs: whether a job holds the
// buttons, whether the window is closing, and the handles the worker has open.
#pragma once

#include <windows.h>

#include <atomic>

#include "io_cancel.h"

class JobControl {
  public:
    // Window thread, before it starts a worker.
    void JobStarted() { running_.store(true); }
    // Worker, just before it gives the buttons back; also the window when no worker started.
    void JobEnded() { running_.store(false); }
    // A job holds the buttons: detection leaves them alone.
    bool JobRunning() const { return running_.load(); }

    // Window thread, when the dialog opens.
    void Open() { closing_.store(false); }
    // Window thread, at close: the worker stops at its next step and shows nothing more, and
    // whatever it has pending is cancelled.
    void BeginClose();
    bool Closing() const { return closing_.load(); }

    // Window thread, at close after BeginClose: waits for a worker thread to end, cancelling
    // again every 50 ms in case the worker opened a handle after the last cancel. `wait` waits
    // like WaitForSingleObject (the window passes one that serves the worker's window calls).
    using WaitFunction = DWORD (*)(HANDLE, DWORD);
    void WaitForWorker(HANDLE thread, WaitFunction wait);

    // Worker: register every handle it opens, unregister before closing it.
    IoCanceller& Handles() { return handles_; }

  private:
    std::atomic<bool> running_{false};
    std::atomic<bool> closing_{false};
    IoCanceller handles_;
};
