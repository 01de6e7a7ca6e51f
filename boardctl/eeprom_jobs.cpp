#include "eeprom_jobs.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "board_link.h"
#include "end_report.h"
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

// How far a job got before it stopped: nothing moved yet, or its pipe transfer was begun (a
// write's bytes may then have reached the EEPROM, all, some or none).
enum class Reached { Nothing, Transfer };

// One job of `length` bytes at `address`; empty when it went through, else why it did not.
std::string RunJob(const Direction& direction, int address, std::uint8_t* data, int length, StopSignal& stop,
                   Reached& reached) {
    reached = Reached::Nothing;
    // Opening, the transfer request and the pipe transfer: each has its limit.
    BoundedStep step(std::string(direction.request == 1 ? "reading" : "writing") + " " +
                         std::to_string(length) + " bytes at " + Hex2(address),
                     std::chrono::milliseconds(2 * kEepromTimeoutMs));
    JobHandle device(OpenBoardDevice(), stop);
    if (!device.Valid()) return direction.deviceOpenFailed;
    JobHandle pipe(OpenBoardPipe(direction.pipe), stop);
    if (!pipe.Valid()) return direction.pipeOpenFailed;
    if (stop.Requested()) return "interrupted";
    if (SendTransferRequest(device.Get(), direction.request, static_cast<DWORD>(address),
                            static_cast<DWORD>(length)) != 0)
        return std::string("Requesting data transfer on ") + direction.pipe + " failed! Aborted.";
    reached = Reached::Transfer;
    const auto stopping = [&stop] { return stop.Requested(); };
    const auto began = std::chrono::steady_clock::now();
    const int moved =
        direction.request == 1
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

// Adds a range, joined to the last one when they meet.
void Append(std::vector<AddressRange>& ranges, int start, int length) {
    if (length <= 0) return;
    if (!ranges.empty() && ranges.back().start + ranges.back().length == start)
        ranges.back().length += length;
    else
        ranges.push_back({start, length});
}

}  // namespace

std::vector<std::uint8_t> ReadEeprom(int start, int length, StopSignal& stop) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    for (int done = 0; done < length;) {
        if (stop.Requested()) throw CommandError(kExitInterrupted, "interrupted");
        const int count = std::min(kJobBytes, length - done);
        Reached reached;
        const std::string why = RunJob(kRead, start + done, bytes.data() + done, count, stop, reached);
        if (why == "interrupted") throw CommandError(kExitInterrupted, "interrupted");
        if (!why.empty())
            throw CommandError(kExitBoardFailure, "at address " + Hex2(start + done) + " (" +
                                                      std::to_string(done) + " of " + std::to_string(length) +
                                                      " bytes read): " + why);
        done += count;
    }
    return bytes;
}

void WriteEeprom(const Image& image, StopSignal& stop) {
    WriteState state;
    for (std::size_t r = 0; r < image.runs.size(); ++r) {
        const ByteRun& run = image.runs[r];
        std::vector<std::uint8_t> bytes = run.bytes;
        const int length = static_cast<int>(bytes.size());
        for (int done = 0; done < length;) {
            const int address = run.address + done;
            const int count = std::min(kJobBytes, length - done);
            std::string why;
            Reached reached = Reached::Nothing;
            // What an end that cannot wait for this job would leave: the job in flight unknown.
            WriteState inFlight = state;
            inFlight.unknown = AddressRange{address, count};
            Append(inFlight.notWritten, address + count, length - done - count);
            for (std::size_t later = r + 1; later < image.runs.size(); ++later)
                Append(inFlight.notWritten, image.runs[later].address,
                       static_cast<int>(image.runs[later].bytes.size()));
            EndReport::Instance().SetWrite(inFlight);
            if (stop.Requested())
                why = "interrupted";
            else
                why = RunJob(kWrite, address, bytes.data() + done, count, stop, reached);
            if (why.empty()) {
                Append(state.written, address, count);
                done += count;
                continue;
            }
            EndReport::Instance().ClearWrite();  // the stopped write reports itself
            // This job and everything after it: the job's state is unknown once its bytes went
            // to the pipe; nothing after it was begun.
            int rest = done;
            if (reached == Reached::Transfer) {
                state.unknown = AddressRange{address, count};
                rest += count;
            }
            Append(state.notWritten, run.address + rest, length - rest);
            for (std::size_t later = r + 1; later < image.runs.size(); ++later)
                Append(state.notWritten, image.runs[later].address,
                       static_cast<int>(image.runs[later].bytes.size()));
            if (why == "interrupted") throw WriteFailure(kExitInterrupted, "interrupted", state);
            throw WriteFailure(kExitBoardFailure, "at address " + Hex2(address) + ": " + why, state);
        }
    }
    EndReport::Instance().ClearWrite();
}
