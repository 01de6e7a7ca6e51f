// Pending transfers that another thread may have to cut short. A worker registers each handle
// it opens and unregisters it before closing it; the thread that must stop the worker cancels
// whatever is pending on the registered handles. A handle is never cancelled once its worker
// has closed it, so a number the system hands out again is never hit by mistake.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

class IoCanceller {
  public:
    // Adds a handle the calling worker has just opened.
    void Register(HANDLE handle);
    // Removes one registration of the handle; call it before closing the handle.
    void Unregister(HANDLE handle);
    // Cancels every transfer pending on the registered handles (CancelIoEx), under the lock,
    // so that no handle is closed while it is being cancelled.
    void CancelAll();

  private:
    std::mutex lock_;
    std::vector<HANDLE> handles_;
};
