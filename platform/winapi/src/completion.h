// Writing a finished request into the caller's memory.
#pragma once

#include "connection.h"

namespace winapi_impl {

struct Completion {
    DWORD error;
    DWORD transferred;
};

// Writes, in Windows' order, the data into the caller's buffer (or touches every byte of it
// when there is none to write, so that a buffer released too early shows up under the
// address sanitizer) and the control block's memory. Counts the board reports are bounded by
// what the caller asked for. The record is written by Publish, after.
Completion Deliver(const Request& request, const vbus::Done& done);

// Writes the result into the caller's record (InternalHigh, then Internal) and sets the
// record's event when `signal`, as one step: a new request that resets the same event waits
// for it, so a late set cannot wake the waiter of the next request (which would find its
// record still pending).
void Publish(const Request& request, const Completion& result, bool signal);

}  // namespace winapi_impl
