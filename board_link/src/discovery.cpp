// Finding the board among the driver's device interfaces, and opening device and pipes.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "board_link.h"

const GUID BOARD_INTERFACE_GUID = {0x77F49320, 0x16EF, 0x11D2, {0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD}};

namespace {

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr std::size_t kDetailFixedPart = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5);
#endif

HANDLE OpenPath(const char* path, DWORD flags) {
    return CreateFileA(path, kReadWrite, kShareReadWrite, nullptr, OPEN_EXISTING, flags, nullptr);
}

}  // namespace

int FindBoard() {
    HANDLE probe = EnumerateBoardInterfaces(BOARD_INTERFACE_GUID, DevicePath);
    if (probe == INVALID_HANDLE_VALUE) return -1;
    CloseHandle(probe);
    return 0;
}

HANDLE EnumerateBoardInterfaces(const GUID& guid, DevicePathBuffer& pathOut) {
    HDEVINFO deviceSet = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    // Without a device set there is nothing to walk: no board.
    if (deviceSet == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;

    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        std::memset(&interfaceData, 0, sizeof interfaceData);
        interfaceData.cbSize = sizeof interfaceData;
        if (SetupDiEnumDeviceInterfaces(deviceSet, nullptr, &guid, index, &interfaceData)) {
            HANDLE handle = OpenInterfaceAt(deviceSet, &interfaceData, pathOut);
            if (handle != INVALID_HANDLE_VALUE) {
                SetupDiDestroyDeviceInfoList(deviceSet);
                return handle;
            }
        } else if (GetLastError() == ERROR_NO_MORE_ITEMS) {
            SetupDiDestroyDeviceInfoList(deviceSet);
            return INVALID_HANDLE_VALUE;
        }
    }
}

HANDLE OpenInterfaceAt(HDEVINFO deviceSet, PSP_DEVICE_INTERFACE_DATA interfaceData, DevicePathBuffer& pathOut) {
    // Size query: with no buffer the call fails with ERROR_INSUFFICIENT_BUFFER and tells the size.
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(deviceSet, interfaceData, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= kDetailFixedPart)
        return INVALID_HANDLE_VALUE;

    auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(std::calloc(1, required));
    if (detail == nullptr) return INVALID_HANDLE_VALUE;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(deviceSet, interfaceData, detail, required, nullptr, nullptr)) {
        std::free(detail);
        return INVALID_HANDLE_VALUE;
    }
    // The record's path ends at its NUL or at the end of the record, whichever comes first.
    char* path = detail->DevicePath;
    path[required - kDetailFixedPart - 1] = '\0';

    // A path that leaves no room for "\PIPExx" in the 256-byte buffer is refused before it is
    // copied: the interface counts as one that failed to open.
    if (!pathOut.Store(path)) {
        std::free(detail);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = OpenPath(path, 0);
    std::free(detail);
    return handle;
}

HANDLE OpenBoardDevice() {
    char path[DevicePathBuffer::kSize];
    DevicePath.CopyTo(path);
    return OpenBoardDevice(path);
}

HANDLE OpenBoardPipe(const char* name) {
    char path[DevicePathBuffer::kSize];
    DevicePath.CopyTo(path);
    return OpenBoardPipe(path, name);
}

HANDLE OpenBoardDevice(const char* devicePath) { return OpenPath(devicePath, FILE_FLAG_OVERLAPPED); }

HANDLE OpenBoardPipe(const char* devicePath, const char* name) {
    char path[DevicePathBuffer::kSize];
    const std::size_t base = strnlen(devicePath, sizeof path);
    const std::size_t nameLength = std::strlen(name);
    if (base + 1 + nameLength + 1 > sizeof path) {
        SetLastError(ERROR_BAD_PATHNAME);
        return INVALID_HANDLE_VALUE;
    }
    std::memcpy(path, devicePath, base);
    path[base] = '\\';
    std::memcpy(path + base + 1, name, nameLength + 1);
    return OpenPath(path, FILE_FLAG_OVERLAPPED);
}

int CloseBoardHandle(HANDLE handle) {
    CloseHandle(handle);
    return 0;
}
