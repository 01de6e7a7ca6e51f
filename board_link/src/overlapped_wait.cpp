#include "overlapped_wait.h"

namespace board_link_detail {

DWORD AwaitOverlapped(HANDLE handle, OVERLAPPED& overlapped, DWORD timeoutMs, DWORD& transferred) {
    transferred = 0;
    const DWORD waited = WaitForSingleObject(overlapped.hEvent, timeoutMs);
    if (waited == WAIT_OBJECT_0) {
        if (GetOverlappedResult(handle, &overlapped, &transferred, FALSE)) return ERROR_SUCCESS;
        return GetLastError();
    }
    const DWORD error = waited == WAIT_TIMEOUT ? static_cast<DWORD>(ERROR_TIMEOUT) : GetLastError();
    // Still in flight: cancel it and collect its completion before anything it writes to goes.
    CancelIo(handle);
    DWORD late = 0;
    if (GetOverlappedResult(handle, &overlapped, &late, TRUE)) {
        // It completed after all, just as the time ran out (the cancel came too late). The
        // bytes did move: the board has them, or the buffer holds them. Reporting a failure
        // and resetting the pipe would tell the user that data the board took was lost, or
        // drop data that arrived; so it counts as the success it is, with no reset.
        transferred = late;
        return ERROR_SUCCESS;
    }
    return error == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_GEN_FAILURE) : error;
}

}  // namespace board_link_detail
