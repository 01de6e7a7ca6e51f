#include "io_cancel.h"

#include <algorithm>

void IoCanceller::Register(HANDLE handle) {
    std::lock_guard hold(lock_);
    handles_.push_back(handle);
}

void IoCanceller::Unregister(HANDLE handle) {
    std::lock_guard hold(lock_);
    const auto it = std::find(handles_.begin(), handles_.end(), handle);
    if (it != handles_.end()) handles_.erase(it);
}

void IoCanceller::CancelAll() {
    std::lock_guard hold(lock_);
    // Nothing pending on a handle is no failure here: the worker may be between transfers.
    for (HANDLE handle : handles_) CancelIoEx(handle, nullptr);
}
