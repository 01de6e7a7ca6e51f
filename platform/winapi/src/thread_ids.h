// Thread identifiers as GetCurrentThreadId reports them.
#pragma once

#include <windows.h>

namespace winapi_impl {

// A fresh identifier, never handed out before.
DWORD NewThreadId();
// Makes `id` the calling thread's identifier; used first thing in threads that CreateThread starts.
void AdoptThreadId(DWORD id);

}  // namespace winapi_impl
