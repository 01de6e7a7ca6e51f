// The status word in OVERLAPPED::Internal. As on Windows it holds a kernel status, not a
// Windows error code: STATUS_PENDING (0x103) is also the value of ERROR_NO_MORE_ITEMS, so
// storing error codes directly would make a request that failed with 259 look pending.
#pragma once

#include <windows.h>

namespace winapi_impl {

ULONG_PTR StatusFromError(DWORD error);
DWORD ErrorFromStatus(ULONG_PTR status);

}  // namespace winapi_impl
