// Events and waits.
#include "event.h"

#include <chrono>

#include "objects.h"

namespace winapi_impl {

void Event::Set() {
    std::lock_guard<std::mutex> hold(lock_);
    set_ = true;
    if (manual_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::SetAfter(const std::function<void()>& publish) {
    std::lock_guard<std::mutex> hold(lock_);
    publish();
    set_ = true;
    if (manual_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> hold(lock_);
    set_ = false;
}

bool Event::Wait(DWORD timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    if (timeoutMs == INFINITE) {
        changed_.wait(hold, [this] { return set_; });
    } else if (!changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return set_; })) {
        return false;
    }
    if (!manual_) set_ = false;
    return true;
}

}  // namespace winapi_impl

using winapi_impl::EventObject;
using winapi_impl::HandleTable;
using winapi_impl::Kind;

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    if (lpName != nullptr) {
        // Named events would be shared between processes; nothing here needs them.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HANDLE handle =
        HandleTable::Instance().Insert(std::make_shared<EventObject>(bManualReset, bInitialState));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto object = winapi_impl::FindObject<EventObject>(hEvent, Kind::Event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->event.Set();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto object = winapi_impl::FindObject<EventObject>(hEvent, Kind::Event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->event.Reset();
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = HandleTable::Instance().Find(hHandle);
    if (!object) return winapi_impl::WaitForHostHandle(hHandle, dwMilliseconds);
    winapi_impl::Event* signal = object->Signal();
    if (signal == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return signal->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // extern "C"
