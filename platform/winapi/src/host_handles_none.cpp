// Without a host kernel, a handle the table does not own is no handle at all.
#include "host_handles.h"

namespace winapi_impl {

const std::uintptr_t kFirstTableHandle = 0x1000;

DWORD WaitForHostHandle(HANDLE, DWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

BOOL CloseHostHandle(HANDLE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace winapi_impl
