// Kernel objects behind handles, and the process-wide handle table.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "event.h"
#include "host_handles.h"

namespace winapi_impl {

enum class Kind { Event, Thread, File, DeviceSet };

class Object {
  public:
    explicit Object(Kind kind) : kind_(kind) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Kind kind() const { return kind_; }
    // What a wait on the object waits for; nullptr when it cannot be waited on.
    virtual Event* Signal() { return nullptr; }
    // Runs once, when the last handle to the object is closed.
    virtual void LastHandleClosed() {}

  private:
    friend class HandleTable;
    const Kind kind_;
    std::size_t handles_ = 0;  // guarded by the table's lock
};

class EventObject final : public Object {
  public:
    EventObject(bool manualReset, bool initiallySet)
        : Object(Kind::Event), event(manualReset, initiallySet) {}
    Event* Signal() override { return &event; }
    Event event;
};

// Handle values are reused as Windows reuses them, the most recently closed first: code that
// cancels, waits on or closes a handle after closing it reaches whatever object has the value
// now, as it would on Windows, so that the tests catch it. A value nobody has been given again
// fails with ERROR_INVALID_HANDLE.
class HandleTable {
  public:
    static HandleTable& Instance();

    HANDLE Insert(std::shared_ptr<Object> object);
    // The object when the handle names one (of `kind`, in the second form), else nullptr.
    std::shared_ptr<Object> Find(HANDLE handle) const;
    std::shared_ptr<Object> Find(HANDLE handle, Kind kind) const;
    // A second handle to the same object, or nullptr when `handle` names nothing.
    HANDLE Duplicate(HANDLE handle);
    // Removes the handle and runs the object's LastHandleClosed when it was the last one.
    // CloseKernelObject takes any kind but device sets, CloseDeviceSet only those; both are
    // false when the handle does not qualify.
    bool CloseKernelObject(HANDLE handle);
    bool CloseDeviceSet(HANDLE handle);
    std::size_t Count() const;

  private:
    HandleTable() = default;
    bool Remove(HANDLE handle, bool deviceSet);

    mutable std::mutex lock_;
    std::map<std::uintptr_t, std::shared_ptr<Object>> objects_;
    std::uintptr_t next_ = kFirstTableHandle;
    std::vector<std::uintptr_t> released_;  // closed values, the most recent last
};

template <class T>
std::shared_ptr<T> FindObject(HANDLE handle, Kind kind) {
    return std::static_pointer_cast<T>(HandleTable::Instance().Find(handle, kind));
}

}  // namespace winapi_impl
