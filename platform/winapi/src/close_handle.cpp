// Closing handles of every kind, and the counts the test seam reports.
#include "connection.h"
#include "objects.h"
#include "winapi_standin.h"

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (!winapi_impl::HandleTable::Instance().CloseKernelObject(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    winapi_impl::JoinEndedReaders();
    return TRUE;
}

namespace standin {

std::size_t OpenHandleCount() { return winapi_impl::HandleTable::Instance().Count(); }

std::size_t PendingRequestCount() { return winapi_impl::PendingRequests(); }

}  // namespace standin
