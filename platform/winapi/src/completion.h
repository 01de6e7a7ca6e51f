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
// address sanitizer), the control block's memory, InternalHigh and Internal. Setting the
// record's event is left to the caller, as the last step. Counts the board reports are
// bounded by what the caller asked for.
Completion Deliver(const Request& request, const vbus::Done& done);

}  // namespace winapi_impl
