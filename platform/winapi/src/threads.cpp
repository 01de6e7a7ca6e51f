// Threads, handle duplication and the current-process pseudo handle.
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "objects.h"
#include "thread_ids.h"

namespace winapi_impl {
namespace {

// The thread runs detached: closing its last handle does not stop or wait for it, as on
// Windows. The running routine keeps the object alive until it has signalled its end.
class ThreadObject final : public Object {
  public:
    ThreadObject() : Object(Kind::Thread) {}
    Event* Signal() override { return &finished; }

    Event finished{true, false};
    std::atomic<DWORD> exitCode{STILL_ACTIVE};
};

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

}  // namespace
}  // namespace winapi_impl

using namespace winapi_impl;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    // Suspended creation is not offered: ResumeThread is not part of this subset.
    if (lpStartAddress == nullptr || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    const DWORD id = NewThreadId();
    // The handle exists before the thread runs, so a routine that finishes at once still
    // signals an object its creator can wait on.
    HANDLE handle = HandleTable::Instance().Insert(object);
    try {
        std::thread([object, id, lpStartAddress, lpParameter] {
            AdoptThreadId(id);
            const DWORD code = lpStartAddress(lpParameter);
            object->exitCode.store(code);
            object->finished.Set();
        }).detach();
    } catch (const std::system_error&) {
        HandleTable::Instance().CloseKernelObject(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId != nullptr) *lpThreadId = id;
    return handle;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto object = FindObject<ThreadObject>(hThread, Kind::Thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpExitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = object->exitCode.load();
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                            LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD dwOptions) {
    auto& table = HandleTable::Instance();
    auto source = table.Find(hSourceHandle);
    // Only this process exists here, and device sets are not kernel objects.
    if (hSourceProcessHandle != kCurrentProcess || hTargetProcessHandle != kCurrentProcess || !source ||
        source->kind() == Kind::DeviceSet) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpTargetHandle == nullptr && (dwOptions & DUPLICATE_CLOSE_SOURCE) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpTargetHandle != nullptr) *lpTargetHandle = table.Insert(source);
    if (dwOptions & DUPLICATE_CLOSE_SOURCE) table.CloseKernelObject(hSourceHandle);
    return TRUE;
}

}  // extern "C"
