#include "objects.h"

namespace winapi_impl {

HandleTable& HandleTable::Instance() {
    static HandleTable table;
    return table;
}

HANDLE HandleTable::Insert(std::shared_ptr<Object> object) {
    std::lock_guard<std::mutex> hold(lock_);
    std::uintptr_t value;
    if (!released_.empty()) {
        value = released_.back();
        released_.pop_back();
    } else {
        value = next_;
        next_ += 4;  // Windows handle values are multiples of four
    }
    ++object->handles_;
    objects_.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> HandleTable::Find(HANDLE handle) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<Object> HandleTable::Find(HANDLE handle, Kind kind) const {
    auto object = Find(handle);
    return object && object->kind() == kind ? object : nullptr;
}

HANDLE HandleTable::Duplicate(HANDLE handle) {
    auto object = Find(handle);
    return object ? Insert(std::move(object)) : nullptr;
}

bool HandleTable::Remove(HANDLE handle, bool deviceSet) {
    std::shared_ptr<Object> object;
    bool last = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects_.end() || (it->second->kind() == Kind::DeviceSet) != deviceSet) return false;
        object = std::move(it->second);
        objects_.erase(it);
        released_.push_back(reinterpret_cast<std::uintptr_t>(handle));
        last = --object->handles_ == 0;
    }
    // Outside the lock: closing a board connection talks to the board.
    if (last) object->LastHandleClosed();
    return true;
}

bool HandleTable::CloseKernelObject(HANDLE handle) { return Remove(handle, false); }

bool HandleTable::CloseDeviceSet(HANDLE handle) { return Remove(handle, true); }

std::size_t HandleTable::Count() const {
    std::lock_guard<std::mutex> hold(lock_);
    return objects_.size();
}

}  // namespace winapi_impl
