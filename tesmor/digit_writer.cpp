#include "digit_writer.h"

#include "board_link.h"

UINT DigitWriter(LPVOID digitJob) {
    DigitJob& job = *static_cast<DigitJob*>(digitJob);
    HANDLE pipe = OpenBoardPipe(job.devicePath, "PIPE01");
    if (pipe == INVALID_HANDLE_VALUE) {
        job.owner->ShowWorkerFailure("Open driver failed! Can't write to PIPE01.");
        return 0;
    }
    job.canceller->Register(pipe);
    if (WritePipeTimed(pipe, job.buffer, kDigitCount, kDigitWriteTimeoutMs, [&job] { return job.owner->Closing(); }) < 1)
        job.owner->ShowWorkerFailure("Data transfer on PIPE01 failed! Aborted.");
    job.canceller->Unregister(pipe);
    CloseBoardHandle(pipe);
    return 0;
}
