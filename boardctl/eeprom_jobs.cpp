#include "eeprom_jobs.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "board_link.h"
#include "exit_codes.h"

namespace {

struct Direction {
    const char* pipe;
    BYTE request;  // direction of the transfer request: 1 = EEPROM to host
    const char* deviceOpenFailed;
    const char* pipeOpenFailed;
    const char* verb;
};

const Direction kRead{"PIPE02", 1, "Open device handle failed! Can't read from PIPE02.",
                      "Open driver failed! Can't read from PIPE02.", "read"};
const Direction kWrite{"PIPE03", 0, "Open device handle failed! Can't write to PIPE03.",
                       "Open driver failed! Can't write to PIPE03.", "written"};

// A handle of the job, registered for Ctrl-C while it is open.
class JobHandle {
  public:
    JobHandle(HANDLE handle, StopSignal& stop) : handle_(handle), stop_(stop) {
        if (Valid()) stop_.Handles().Register(handle_);
    }
    ~JobHandle() {
        if (!Valid()) return;
        stop_.Handles().Unregister(handle_);
        CloseBoardHandle(handle_);
    }
    JobHandle(const JobHandle&) = delete;
    JobHandle& operator=(const JobHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
    StopSignal& stop_;
};

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFF);
    return text;
}

// One job of `length` bytes at `address`; empty when it went through, else why it did not.
std::string RunJob(const Direction& direction, int address, std::uint8_t* data, int length,
                   StopSignal& stop) {
    JobHandle device(OpenBoardDevice(), stop);
    if (!device.Valid()) return direction.deviceOpenFailed;
    JobHandle pipe(OpenBoardPipe(direction.pipe), stop);
    if (!pipe.Valid()) return direction.pipeOpenFailed;
    if (stop.Requested()) return "interrupted";
    if (SendTransferRequest(device.Get(), direction.request, static_cast<DWORD>(address),
                            static_cast<DWORD>(length)) != 0)
        return std::string("Requesting data transfer on ") + direction.pipe + " failed! Aborted.";
    const auto stopping = [&stop] { return stop.Requested(); };
    const auto began = std::chrono::steady_clock::now();
    const int moved = direction.request == 1
                          ? ReadPipeTimed(pipe.Get(), data, static_cast<DWORD>(length), kEepromTimeoutMs, stopping)
                          : WritePipeTimed(pipe.Get(), data, static_cast<DWORD>(length), kEepromTimeoutMs, stopping);
    if (stop.Requested()) return "interrupted";
    if (moved < 0) {
        const bool timedOut =
            std::chrono::steady_clock::now() - began >= std::chrono::milliseconds(kEepromTimeoutMs);
        return std::string("Data transfer on ") + direction.pipe + " failed! Aborted." +
               (timedOut ? " (no answer within " + std::to_string(kEepromTimeoutMs) + " ms)" : "");
    }
    // Varnel shows what a short read brought; a whole-EEPROM job needs every byte.
    if (moved < length)
        return "the board " + std::string(direction.request == 1 ? "sent " : "took ") +
               std::to_string(moved) + " of " + std::to_string(length) + " bytes";
    return {};
}

// Every job of a range, in address order; throws at the first failure.
void RunJobs(const Direction& direction, int start, std::uint8_t* data, int length, StopSignal& stop) {
    for (int done = 0; done < length;) {
        if (stop.Requested()) throw CommandError(kExitInterrupted, "interrupted");
        const int count = std::min(kJobBytes, length - done);
        const std::string why = RunJob(direction, start + done, data + done, count, stop);
        if (why == "interrupted") throw CommandError(kExitInterrupted, "interrupted");
        if (!why.empty())
            throw CommandError(kExitBoardFailure, "at address " + Hex2(start + done) + " (" +
                                                      std::to_string(done) + " of " + std::to_string(length) +
                                                      " bytes " + direction.verb + "): " + why);
        done += count;
    }
}

}  // namespace

std::vector<std::uint8_t> ReadEeprom(int start, int length, StopSignal& stop) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    RunJobs(kRead, start, bytes.data(), length, stop);
    return bytes;
}

void WriteEeprom(const ByteRun& run, StopSignal& stop) {
    std::vector<std::uint8_t> bytes = run.bytes;
    RunJobs(kWrite, run.address, bytes.data(), static_cast<int>(bytes.size()), stop);
}
