// The canceller against a board: pending transfers on registered handles are cut short, those
// on handles no longer registered are left alone.
#include "io_cancel.h"

#include <gtest/gtest.h>

#include "board_link.h"
#include "vboard_testing/gtest_bus.h"
#include "vboard_testing/traffic_log.h"
#include "winapi_standin.h"

namespace {

// An overlapped read left pending on a pipe.
struct PendingRead {
    explicit PendingRead(HANDLE pipe) : pipe(pipe) {
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD ignored = 0;
        EXPECT_FALSE(ReadFile(pipe, buffer, sizeof buffer, &ignored, &overlapped));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }
    ~PendingRead() { CloseHandle(overlapped.hEvent); }
    // Waits for the end of the read: its error code, 0 when it moved bytes.
    DWORD Finish() {
        DWORD moved = 0;
        return GetOverlappedResult(pipe, &overlapped, &moved, TRUE) ? 0 : GetLastError();
    }
    HANDLE pipe;
    OVERLAPPED overlapped{};
    unsigned char buffer[4] = {};
};

TEST(IoCanceller, CancelsWhatIsPendingOnRegisteredHandlesOnly) {
    GTestBus bus{"varnel"};
    bus.AddBoard();
    // A read on the EEPROM pipe waits for a transfer request to arm it.
    ASSERT_EQ(FindBoard(), 0);
    HANDLE kept = OpenBoardPipe("PIPE02");
    HANDLE dropped = OpenBoardPipe("PIPE02");
    ASSERT_NE(kept, INVALID_HANDLE_VALUE);
    ASSERT_NE(dropped, INVALID_HANDLE_VALUE);

    IoCanceller canceller;
    canceller.Register(kept);
    canceller.Register(dropped);
    canceller.Unregister(dropped);
    {
        PendingRead keptRead(kept);
        PendingRead droppedRead(dropped);
        canceller.CancelAll();
        EXPECT_EQ(keptRead.Finish(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        // The other read is still there: a transfer request lets it complete with its bytes.
        HANDLE device = OpenBoardDevice();
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        EXPECT_EQ(SendTransferRequest(device, 1, 0, sizeof droppedRead.buffer), 0);
        EXPECT_EQ(droppedRead.Finish(), 0u);
        CloseBoardHandle(device);
    }
    // Nothing registered any more: cancelling is harmless.
    canceller.Unregister(kept);
    canceller.CancelAll();
    CloseBoardHandle(kept);
    CloseBoardHandle(dropped);
    EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }));
}

}  // namespace
