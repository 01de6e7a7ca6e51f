// Events and waits.
#include "event.h"

#include <chrono>
#include <cstdint>

#include "objects.h"

namespace winapi_impl {

namespace {

// What a wait for any of several events sleeps on: every Set counts one more setting and
// wakes them all; each then looks at its own events again.
struct AnySetting {
    std::mutex lock;
    std::condition_variable changed;
    std::uint64_t count = 0;
};

// Lives as long as the process: threads may still set events while static objects are
// destroyed.
AnySetting& Settings() {
    static AnySetting* settings = new AnySetting;
    return *settings;
}

void CountSetting() {
    AnySetting& s = Settings();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        ++s.count;
    }
    s.changed.notify_all();
}

}  // namespace

void Event::Set() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        SetLocked();
    }
    CountSetting();
}

void Event::SetAfter(const std::function<void()>& publish) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        publish();
        SetLocked();
    }
    CountSetting();
}

void Event::SetLocked() {
    set_ = true;
    if (manual_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

bool Event::TryWait() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!set_) return false;
    if (!manual_) set_ = false;
    return true;
}

int Event::WaitAny(const std::vector<Event*>& events, DWORD timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    AnySetting& s = Settings();
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard<std::mutex> hold(s.lock);
            seen = s.count;
        }
        // A Set after `seen` was read changes the count, so the sleep below does not miss it.
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i]->TryWait()) return static_cast<int>(i);
        std::unique_lock<std::mutex> hold(s.lock);
        const auto changed = [&] { return s.count != seen; };
        if (timeoutMs == INFINITE)
            s.changed.wait(hold, changed);
        else if (!s.changed.wait_until(hold, deadline, changed))
            return -1;
    }
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

#ifndef _WIN32
// Linux only: in the Windows test build the waits for several objects are kernel32's, on the
// threads' own handles (the window's wait for its workers and their calls).
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    if (bWaitAll) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    // The objects are held for the whole wait: a handle closed meanwhile cannot free them.
    std::vector<std::shared_ptr<winapi_impl::Object>> objects;
    std::vector<winapi_impl::Event*> events;
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = HandleTable::Instance().Find(lpHandles[i]);
        winapi_impl::Event* signal = object ? object->Signal() : nullptr;
        if (signal == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
        events.push_back(signal);
    }
    const int index = winapi_impl::Event::WaitAny(events, dwMilliseconds);
    return index < 0 ? WAIT_TIMEOUT : WAIT_OBJECT_0 + static_cast<DWORD>(index);
}
#endif

}  // extern "C"
