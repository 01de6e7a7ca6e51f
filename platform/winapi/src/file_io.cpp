// CreateFileA and the I/O calls on board connections.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "board_socket.h"
#include "bus.h"
#include "connection.h"
#include "status.h"

namespace winapi_impl {
namespace {

// Longest path CreateFileA passes on; Windows refuses longer ones as well.
constexpr std::size_t kMaxPath = 32767;

// A control block, as the board's control codes take it, carries a pointer to caller memory
// at offset 8 and that memory's length at offset 4. Only the host's own pointer width is
// read: a 4-byte value on a 64-bit host is no address of this process.
constexpr DWORD kControlBlockSize = sizeof(void*) == 4 ? 16 : 24;
constexpr DWORD kMaxWindow = 256;

std::shared_ptr<Connection> FindConnection(HANDLE handle) {
    return FindObject<Connection>(handle, Kind::File);
}

// Runs one request on `connection` with the result conventions of ReadFile and friends.
BOOL Run(Connection& connection, const std::shared_ptr<Request>& request, vbus::Submit submit,
         OVERLAPPED* overlapped, LPDWORD transferred) {
    if (overlapped != nullptr) {
        if (overlapped->hEvent != nullptr) {
            auto event = FindObject<EventObject>(overlapped->hEvent, Kind::Event);
            if (!event) {
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            // The request holds the event, as the kernel references it, so that closing the
            // handle while the request is pending does not pull it away.
            request->event = std::shared_ptr<Event>(event, &event->event);
            event->event.Reset();
        }
        request->overlapped = overlapped;
        std::atomic_ref<ULONG_PTR>(overlapped->InternalHigh).store(0, std::memory_order_relaxed);
        std::atomic_ref<ULONG_PTR>(overlapped->Internal).store(STATUS_PENDING, std::memory_order_release);
    }
    request->issuer = GetCurrentThreadId();
    const Connection::Outcome outcome = connection.Issue(request, std::move(submit));
    if (outcome.error != ERROR_SUCCESS) {
        // A request that never started leaves no pending status behind to wait for.
        if (overlapped != nullptr && !outcome.pending)
            std::atomic_ref<ULONG_PTR>(overlapped->Internal)
                .store(StatusFromError(outcome.error), std::memory_order_release);
        SetLastError(outcome.error);
        return FALSE;
    }
    if (transferred != nullptr) *transferred = outcome.transferred;
    return TRUE;
}

// The checks every I/O call starts with; nullptr (with the last error set) when they fail.
std::shared_ptr<Connection> BeginIo(HANDLE handle, LPDWORD transferred, const OVERLAPPED* overlapped) {
    auto connection = FindConnection(handle);
    if (!connection) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (transferred != nullptr) *transferred = 0;
    if (connection->overlapped() && overlapped == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return connection;
}

}  // namespace
}  // namespace winapi_impl

using namespace winapi_impl;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path(lpFileName);
    if (path.size() > kMaxPath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    const std::string bus = BusDirectory();
    // Boards that do not own the path answer 2; a board that owns it but refuses says why,
    // and that reason is kept whatever the boards after it answer.
    DWORD error = ERROR_FILE_NOT_FOUND;
    for (int slot : BoardSlots(bus)) {
        auto greeting = Greet(bus, slot, vbus::Purpose::Open, path);
        if (!greeting) continue;
        if (greeting->welcome.error != ERROR_SUCCESS) {
            if (error == ERROR_FILE_NOT_FOUND) error = greeting->welcome.error;
            continue;
        }
        auto connection = std::make_shared<Connection>(std::move(greeting->stream),
                                                       (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0);
        if (!connection->Start()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE handle = HandleTable::Instance().Insert(connection);
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    auto connection = BeginIo(hFile, lpNumberOfBytesRead, lpOverlapped);
    if (!connection) return FALSE;
    if (lpBuffer == nullptr && nNumberOfBytesToRead != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto request = std::make_shared<Request>();
    request->op = vbus::Op::Read;
    request->output = static_cast<std::uint8_t*>(lpBuffer);
    request->outputSize = nNumberOfBytesToRead;
    vbus::Submit submit;
    submit.op = vbus::Op::Read;
    // A larger read is asked as the most one frame carries; the board answers it short.
    submit.outLength = std::min<DWORD>(nNumberOfBytesToRead, vbus::kMaxBytes);
    return Run(*connection, request, std::move(submit), lpOverlapped, lpNumberOfBytesRead);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    auto connection = BeginIo(hFile, lpNumberOfBytesWritten, lpOverlapped);
    if (!connection) return FALSE;
    if ((lpBuffer == nullptr && nNumberOfBytesToWrite != 0) || nNumberOfBytesToWrite > vbus::kMaxBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto request = std::make_shared<Request>();
    request->op = vbus::Op::Write;
    request->input = static_cast<const std::uint8_t*>(lpBuffer);
    request->inputSize = nNumberOfBytesToWrite;
    vbus::Submit submit;
    submit.op = vbus::Op::Write;
    if (nNumberOfBytesToWrite > 0)
        submit.input.assign(request->input, request->input + nNumberOfBytesToWrite);
    return Run(*connection, request, std::move(submit), lpOverlapped, lpNumberOfBytesWritten);
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped) {
    auto connection = BeginIo(hDevice, lpBytesReturned, lpOverlapped);
    if (!connection) return FALSE;
    if ((lpInBuffer == nullptr && nInBufferSize != 0) || (lpOutBuffer == nullptr && nOutBufferSize != 0) ||
        nInBufferSize > vbus::kMaxBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto request = std::make_shared<Request>();
    request->op = vbus::Op::Ioctl;
    request->output = static_cast<std::uint8_t*>(lpOutBuffer);
    request->outputSize = nOutBufferSize;
    vbus::Submit submit;
    submit.op = vbus::Op::Ioctl;
    submit.code = dwIoControlCode;
    submit.outLength = std::min<DWORD>(nOutBufferSize, vbus::kMaxBytes);
    const auto* input = static_cast<const std::uint8_t*>(lpInBuffer);
    if (nInBufferSize > 0) submit.input.assign(input, input + nInBufferSize);

    if (nInBufferSize == kControlBlockSize) {
        std::uint32_t length;
        std::uintptr_t data;
        std::memcpy(&length, input + 4, sizeof length);
        std::memcpy(&data, input + 8, sizeof data);
        if (length >= 1 && length <= kMaxWindow && data != 0) {
            request->window = reinterpret_cast<std::uint8_t*>(data);
            request->windowSize = length;
            submit.window.assign(request->window, request->window + length);
        }
    }
    return Run(*connection, request, std::move(submit), lpOverlapped, lpBytesReturned);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait) {
    if (lpOverlapped == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::atomic_ref<ULONG_PTR> status(lpOverlapped->Internal);
    if (status.load(std::memory_order_acquire) == STATUS_PENDING) {
        if (!bWait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        // Without an event in the record, the handle's own signal tells of a completion.
        auto waitable = lpOverlapped->hEvent != nullptr
                            ? HandleTable::Instance().Find(lpOverlapped->hEvent, Kind::Event)
                            : HandleTable::Instance().Find(hFile, Kind::File);
        if (!waitable) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        waitable->Signal()->Wait(INFINITE);
        // Set by something other than the completion: the request is still running, which
        // is said plainly rather than passed off as a result.
        if (status.load(std::memory_order_acquire) == STATUS_PENDING) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
    }
    const DWORD error = ErrorFromStatus(status.load(std::memory_order_acquire));
    if (lpNumberOfBytesTransferred != nullptr)
        *lpNumberOfBytesTransferred = static_cast<DWORD>(
            std::atomic_ref<ULONG_PTR>(lpOverlapped->InternalHigh).load(std::memory_order_relaxed));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CancelIo(HANDLE hFile) {
    auto connection = FindConnection(hFile);
    if (!connection) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    connection->Cancel(GetCurrentThreadId(), nullptr);
    return TRUE;
}

BOOL WINAPI CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped) {
    auto connection = FindConnection(hFile);
    if (!connection) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (connection->Cancel(0, lpOverlapped) == 0) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
