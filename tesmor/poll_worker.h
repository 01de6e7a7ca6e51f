// The status poller: reads the board's 4-byte reports from PIPE00, one pipe open per report,
// for as long as the board connection is on, and hands every complete report to its owner.
#pragma once

#include <windows.h>

#include <atomic>

#include "board_link.h"
#include "io_cancel.h"
#include "worker_owner.h"

struct PollJob {
    WorkerOwner* owner = nullptr;
    // The poller registers its pipe here while it waits for a report (the read has no time
    // limit), so that the window can cancel the read when the connection ends.
    IoCanceller* canceller = nullptr;
    BYTE buffer[72] = {};  // the first 4 bytes receive each report
    // The board of the connection: the path detection found, copied when the poller starts, so
    // that every PIPE00 it opens is on that board.
    char devicePath[DevicePathBuffer::kSize] = {};
    // Set by the window before the poller starts; the poller clears it when it ends.
    std::atomic<bool> active{false};
};

// Thread procedure; the parameter is the PollJob. Ends (returning 0) when the connection is
// off, when PIPE00 cannot be opened, or when the active flag is cleared. A read that brings
// fewer than 4 bytes is not shown.
UINT PollWorker(LPVOID pollJob);
