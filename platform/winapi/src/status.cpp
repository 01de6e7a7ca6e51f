#include "status.h"

namespace winapi_impl {
namespace {

constexpr ULONG_PTR kStatusCancelled = 0xC0000120u;
constexpr ULONG_PTR kStatusDeviceNotConnected = 0xC000009Du;
// An error of the Windows facility, as the kernel wraps Windows error codes.
constexpr ULONG_PTR kWin32Facility = 0xC0070000u;

}  // namespace

ULONG_PTR StatusFromError(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_OPERATION_ABORTED:
            return kStatusCancelled;
        case ERROR_DEVICE_NOT_CONNECTED:
            return kStatusDeviceNotConnected;
        default:
            return kWin32Facility | (error <= 0xFFFF ? error : static_cast<DWORD>(ERROR_GEN_FAILURE));
    }
}

DWORD ErrorFromStatus(ULONG_PTR status) {
    if (status == 0) return ERROR_SUCCESS;
    if (status == kStatusCancelled) return ERROR_OPERATION_ABORTED;
    if (status == kStatusDeviceNotConnected) return ERROR_DEVICE_NOT_CONNECTED;
    if ((status & 0xFFFF0000u) == kWin32Facility) return static_cast<DWORD>(status & 0xFFFFu);
    return ERROR_GEN_FAILURE;
}

}  // namespace winapi_impl
