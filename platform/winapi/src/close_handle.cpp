// Closing handles of every kind, and the counts the test seam reports.
#include "connection.h"
#include "objects.h"
#include "winapi_standin.h"

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    auto& table = winapi_impl::HandleTable::Instance();
    if (!table.CloseKernelObject(hObject)) {
        if (!table.Find(hObject)) return winapi_impl::CloseHostHandle(hObject);
        SetLastError(ERROR_INVALID_HANDLE);  // a device set: SetupDiDestroyDeviceInfoList closes it
        return FALSE;
    }
    return TRUE;
}

namespace standin {

std::size_t OpenHandleCount() { return winapi_impl::HandleTable::Instance().Count(); }

std::size_t PendingRequestCount() { return winapi_impl::PendingRequests(); }

}  // namespace standin
