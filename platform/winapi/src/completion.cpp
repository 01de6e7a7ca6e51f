#include "completion.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "status.h"

namespace winapi_impl {
namespace {

// Reads and writes back each byte unchanged: the access a driver makes to memory it owns
// until completion, without changing what the caller sees.
void TouchWritable(std::uint8_t* memory, std::size_t size) {
    volatile std::uint8_t* bytes = memory;
    for (std::size_t i = 0; i < size; ++i) bytes[i] = bytes[i];
}

// Write data and control-block data may live in read-only memory, so they are only read.
void TouchReadable(const std::uint8_t* memory, std::size_t size) {
    const volatile std::uint8_t* bytes = memory;
    std::uint8_t sink = 0;
    for (std::size_t i = 0; i < size; ++i) sink ^= bytes[i];
    static_cast<void>(sink);
}

}  // namespace

Completion Deliver(const Request& request, const vbus::Done& done) {
    Completion result{done.error, 0};
    if (request.op == vbus::Op::Write) {
        if (result.error == ERROR_SUCCESS)
            result.transferred = std::min<DWORD>(done.information, request.inputSize);
        TouchReadable(request.input, request.inputSize);
    } else {
        std::size_t copied = 0;
        if (result.error == ERROR_SUCCESS) {
            copied = std::min<std::size_t>({done.information, request.outputSize, done.output.size()});
            if (copied > 0) std::memcpy(request.output, done.output.data(), copied);
            result.transferred = static_cast<DWORD>(copied);
        }
        if (request.output != nullptr) TouchWritable(request.output + copied, request.outputSize - copied);
    }
    if (request.window != nullptr) {
        if (!done.window.empty() && done.window.size() <= request.windowSize)
            std::memcpy(request.window, done.window.data(), done.window.size());
        else
            TouchReadable(request.window,
                          request.windowSize);  // may be data the caller never meant to change
    }
    return result;
}

void Publish(const Request& request, const Completion& result, bool signal) {
    auto write = [&] {
        if (OVERLAPPED* overlapped = request.overlapped) {
            std::atomic_ref<ULONG_PTR>(overlapped->InternalHigh)
                .store(result.transferred, std::memory_order_relaxed);
            std::atomic_ref<ULONG_PTR>(overlapped->Internal)
                .store(StatusFromError(result.error), std::memory_order_release);
        }
    };
    if (signal && request.event)
        request.event->SetAfter(write);
    else
        write();
}

}  // namespace winapi_impl
