#include "transfer_job.h"

#include <algorithm>

#include "board_link.h"
#include "hex_text.h"

namespace {

struct Direction {
    const char* pipe;
    BYTE request;  // direction of the transfer request: 1 = EEPROM to host
    const char* deviceOpenFailed;
    const char* pipeOpenFailed;
    // Moves the bytes over the open pipe; false on failure.
    bool (*move)(TransferJob& job, HANDLE pipe, int length);
};

bool ReadBytes(TransferJob& job, HANDLE pipe, int length) {
    const int received = ReadPipeTimed(pipe, job.data, static_cast<DWORD>(length), kTransferTimeoutMs,
                                       [&job] { return job.owner->Jobs().Closing(); });
    if (received <= 0) return false;
    // Only what arrived: the rest of the buffer still holds an earlier job's bytes.
    job.owner->AppendToReadDisplay(FormatHexBytes(job.data, std::min(received, length)));
    return true;
}

bool WriteBytes(TransferJob& job, HANDLE pipe, int length) {
    const int sent = WritePipeTimed(pipe, job.data, static_cast<DWORD>(length), kTransferTimeoutMs,
                                    [&job] { return job.owner->Jobs().Closing(); });
    return sent >= length;
}

const Direction kRead{"PIPE02", 1, "Open device handle failed! Can't read from PIPE02.",
                      "Open driver failed! Can't read from PIPE02.", ReadBytes};
const Direction kWrite{"PIPE03", 0, "Open device handle failed! Can't write to PIPE03.",
                       "Open driver failed! Can't write to PIPE03.", WriteBytes};

class Worker {
  public:
    Worker(TransferJob& job, const Direction& direction)
        : job_(job), direction_(direction), owner_(*job.owner), jobs_(owner_.Jobs()) {}

    UINT Run() {
        const int ticket = job_.ticket;
        std::copy(std::begin(job_.devicePath), std::end(job_.devicePath), path_);
        if (!jobs_.Closing()) WithDevice();
        // The record is free for the next job once this has returned: nothing after it.
        owner_.JobEnded(ticket);
        return 0;
    }

  private:
    void WithDevice() {
        HANDLE device = OpenBoardDevice(path_);
        if (device == INVALID_HANDLE_VALUE) return Report(direction_.deviceOpenFailed);
        jobs_.Handles().Register(device);
        if (!jobs_.Closing()) WithPipe(device);
        jobs_.Handles().Unregister(device);
        CloseBoardHandle(device);
    }

    void WithPipe(HANDLE device) {
        HANDLE pipe = OpenBoardPipe(path_, direction_.pipe);
        if (pipe == INVALID_HANDLE_VALUE) return Report(direction_.pipeOpenFailed);
        jobs_.Handles().Register(pipe);
        if (!jobs_.Closing()) Transfer(device, pipe);
        jobs_.Handles().Unregister(pipe);
        CloseBoardHandle(pipe);
    }

    void Transfer(HANDLE device, HANDLE pipe) {
        // The window never hands over more than the record holds; the clamp keeps it that way.
        const int length = std::clamp(job_.length, 0, kMaxTransferBytes);
        if (SendTransferRequest(device, direction_.request, job_.start, static_cast<DWORD>(length)) != 0)
            return Report(std::string("Requesting data transfer on ") + direction_.pipe +
                          " failed! Aborted.");
        if (jobs_.Closing()) return;
        if (!direction_.move(job_, pipe, length))
            Report(std::string("Data transfer on ") + direction_.pipe + " failed! Aborted.");
    }

    // The window shows it unless it is closing (a failure the close caused).
    void Report(const std::string& text) { owner_.ShowTransferFailure(text.c_str()); }

    TransferJob& job_;
    const Direction& direction_;
    TransferOwner& owner_;
    JobControl& jobs_;
    char path_[DevicePathBuffer::kSize] = {};
};

}  // namespace

UINT ReadWorker(LPVOID job) { return Worker(*static_cast<TransferJob*>(job), kRead).Run(); }

UINT WriteWorker(LPVOID job) { return Worker(*static_cast<TransferJob*>(job), kWrite).Run(); }
