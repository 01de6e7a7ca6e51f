// Handles the stand-in's table does not own. On Windows the table shares the process with
// kernel32, whose handles (the dialog framework's worker threads, say) reach the stand-in's
// WaitForSingleObject and CloseHandle too; elsewhere nothing else hands out handles.
#pragma once

#include <windows.h>

#include <cstdint>

namespace winapi_impl {

// The first value the table hands out: clear of every value the host's own handles take.
extern const std::uintptr_t kFirstTableHandle;

// WaitForSingleObject and CloseHandle on a handle the table does not own.
DWORD WaitForHostHandle(HANDLE handle, DWORD milliseconds);
BOOL CloseHostHandle(HANDLE handle);

}  // namespace winapi_impl
