// Moving one block over an open pipe with a time limit; resetting the pipe after a failure.
#include "board_link.h"
#include "overlapped_wait.h"

namespace {

enum class Direction { Read, Write };

int TransferTimed(HANDLE pipe, void* buffer, DWORD count, DWORD timeoutMs, Direction direction,
                  const StopRequested* stopping) {
    DWORD error = ERROR_SUCCESS;
    DWORD transferred = 0;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        error = GetLastError();
    } else {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        const BOOL done = direction == Direction::Read
                              ? ReadFile(pipe, buffer, count, &transferred, &overlapped)
                              : WriteFile(pipe, buffer, count, &transferred, &overlapped);
        if (!done) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING)
                error = board_link_detail::AwaitOverlapped(pipe, overlapped, timeoutMs, transferred);
        }
        CloseHandle(event);
    }
    if (error != ERROR_SUCCESS) {
        // Whether the caller is being stopped is the caller's to say, not the error code's.
        if (!stopping || !*stopping || !(*stopping)()) ResetPipe(pipe);
        return -1;
    }
    return static_cast<int>(transferred);
}

}  // namespace

int ReadPipeTimed(HANDLE pipe, void* buffer, DWORD count, DWORD timeoutMs) {
    return TransferTimed(pipe, buffer, count, timeoutMs, Direction::Read, nullptr);
}

int WritePipeTimed(HANDLE pipe, const void* buffer, DWORD count, DWORD timeoutMs) {
    // WriteFile only reads the buffer; the cast serves the shared path.
    return TransferTimed(pipe, const_cast<void*>(buffer), count, timeoutMs, Direction::Write, nullptr);
}

int ReadPipeTimed(HANDLE pipe, void* buffer, DWORD count, DWORD timeoutMs, const StopRequested& stopping) {
    return TransferTimed(pipe, buffer, count, timeoutMs, Direction::Read, &stopping);
}

int WritePipeTimed(HANDLE pipe, const void* buffer, DWORD count, DWORD timeoutMs,
                   const StopRequested& stopping) {
    return TransferTimed(pipe, const_cast<void*>(buffer), count, timeoutMs, Direction::Write, &stopping);
}

void ResetPipe(HANDLE pipe) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD returned = 0;
    if (!DeviceIoControl(pipe, IOCTL_RESET_PIPE, nullptr, 0, nullptr, 0, &returned, &overlapped) &&
        GetLastError() == ERROR_IO_PENDING) {
        board_link_detail::AwaitOverlapped(pipe, overlapped, 1000, returned);
    }
    CloseHandle(event);
}
