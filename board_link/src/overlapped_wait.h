// Waiting for one overlapped request with a time limit, shared by pipe transfers and
// control requests.
#pragma once

#include <windows.h>

namespace board_link_detail {

// The request on `handle` returned ERROR_IO_PENDING. Waits for its event up to timeoutMs.
// Returns 0 with the byte count in `transferred`, or the error code (ERROR_TIMEOUT after a
// time-out). A request that did not complete in time is cancelled and then collected, so
// that the OVERLAPPED record, its event and every buffer the request uses may be released
// as soon as this returns.
DWORD AwaitOverlapped(HANDLE handle, OVERLAPPED& overlapped, DWORD timeoutMs, DWORD& transferred);

}  // namespace board_link_detail
