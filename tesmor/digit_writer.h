// The digit writer: sends one 8-byte digit record to PIPE01 and reports a failure to its owner.
#pragma once

#include <windows.h>

#include "board_link.h"
#include "digit_value.h"
#include "io_cancel.h"
#include "worker_owner.h"

// One writer's own job: the record it sends is its own copy, so a later click (accepted or
// refused) cannot change what an earlier writer is still sending.
struct DigitJob {
    WorkerOwner* owner = nullptr;
    IoCanceller* canceller = nullptr;               // the pipe is registered here while the write runs
    BYTE buffer[72] = {};                           // the first 8 bytes hold the digits
    char devicePath[DevicePathBuffer::kSize] = {};  // the board of the click, copied then
};

constexpr DWORD kDigitWriteTimeoutMs = 50;

// Thread procedure; the parameter is the DigitJob. Returns 0. Its failures go to the owner,
// which shows none once the window is closing.
UINT DigitWriter(LPVOID digitJob);
