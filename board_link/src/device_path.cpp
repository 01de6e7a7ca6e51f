#include <cstring>

#include "board_link.h"

DevicePathBuffer DevicePath;

bool DevicePathBuffer::Store(const char* path) {
    const std::size_t length = strnlen(path, kMaxDevicePath + 1);
    if (length > kMaxDevicePath) return false;
    std::lock_guard<std::mutex> hold(lock_);
    std::memcpy(path_, path, length);
    path_[length] = '\0';
    return true;
}

void DevicePathBuffer::CopyTo(char (&out)[kSize]) const {
    std::lock_guard<std::mutex> hold(lock_);
    std::memcpy(out, path_, kSize);
}

std::string DevicePathBuffer::Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return path_;
}
