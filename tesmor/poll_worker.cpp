#include "poll_worker.h"

#include "board_link.h"

namespace {

constexpr char kStatusPipe[] = "PIPE00";

}  // namespace

UINT PollWorker(LPVOID pollJob) {
    PollJob& job = *static_cast<PollJob*>(pollJob);
    WorkerOwner& owner = *job.owner;
    while (job.active.load() && owner.Running()) {
        Sleep(1);
        HANDLE pipe = OpenBoardPipe(job.devicePath, kStatusPipe);
        if (pipe == INVALID_HANDLE_VALUE) break;
        job.canceller->Register(pipe);
        // The connection may have ended while the pipe was being opened; the window
        // cancels what is registered, and again until the poller has gone.
        const auto stopping = [&] { return !owner.Running() || !job.active.load(); };
        const int got = stopping() ? -1 : ReadPipeTimed(pipe, job.buffer, kStatusReportSize, INFINITE, stopping);
        job.canceller->Unregister(pipe);
        CloseBoardHandle(pipe);
        // A detection that stopped this poller may have started the next connection by now.
        if (stopping()) break;
        // A short report would mix new bytes with an earlier report's.
        if (got >= static_cast<int>(kStatusReportSize))
            owner.UpdateStatusDisplay(StatusReportFrom(job.buffer));
    }
    job.active.store(false);
    return 0;
}
