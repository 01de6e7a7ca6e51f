// What Tesmor's two workers need of the window that starts them.
#pragma once

#include "status_report.h"

class WorkerOwner {
  public:
    // The board connection is on and the status poller may go on.
    virtual bool Running() const = 0;
    // The window is closing: its workers are being stopped. Any thread.
    virtual bool Closing() const = 0;
    // Shows a report: the lamps and the clock text. Called on the poller's thread.
    virtual void UpdateStatusDisplay(const StatusReport& report) = 0;
    // Shows a worker's failure (caption "Test Error", no icon), unless the window is closing:
    // the window decides that on its own thread. Called on the worker's thread.
    virtual void ShowWorkerFailure(const char* text) = 0;

  protected:
    ~WorkerOwner() = default;
};
