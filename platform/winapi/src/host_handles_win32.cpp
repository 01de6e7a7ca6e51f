// On Windows, handles the table does not own are kernel32's.
#include "host_handles.h"

// This file calls the kernel32 functions the stand-in stands in for.
#undef WaitForSingleObject
#undef CloseHandle

namespace winapi_impl {

// Kernel handles are multiples of four below 2^26 (the per-process handle limit), and the
// pseudo handles are the last few values below 2^32: the table starts well between them.
const std::uintptr_t kFirstTableHandle = 0x5A000000;

DWORD WaitForHostHandle(HANDLE handle, DWORD milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

BOOL CloseHostHandle(HANDLE handle) { return ::CloseHandle(handle); }

}  // namespace winapi_impl
