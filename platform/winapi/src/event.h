// A waitable signal with Windows event semantics: manual or automatic reset.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace winapi_impl {

class Event {
  public:
    Event(bool manualReset, bool initiallySet) : manual_(manualReset), set_(initiallySet) {}

    void Set();
    // Runs `publish` and sets the event as one step: a Reset waits for both.
    void SetAfter(const std::function<void()>& publish);
    void Reset();
    // True when the event is (or becomes) set within timeoutMs; INFINITE waits without
    // limit. An automatic-reset event is cleared by the wait that sees it set.
    bool Wait(DWORD timeoutMs);
    // True when the event is set now (an automatic-reset one is cleared by it).
    bool TryWait();

    // Waits for any of the events: the index of the first one set, or -1 when none was set
    // within timeoutMs (INFINITE waits without limit).
    static int WaitAny(const std::vector<Event*>& events, DWORD timeoutMs);

  private:
    void SetLocked();  // with lock_ held

    std::mutex lock_;
    std::condition_variable changed_;
    const bool manual_;
    bool set_;
};

}  // namespace winapi_impl
