// A recorded board session (a BOARD_TRACE file, docs/TRACE.md) played back by a virtual board:
// each request that comes is compared with the next one recorded for its target and answered
// as recorded, after the recorded delay. The first request that differs is answered with an
// error and named. Give it to a board with BoardOptions::replay.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "vboard/board.h"
#include "vboard/types.h"

namespace vboard {

struct ReplayOptions {
    double speed = 1.0;  // recorded delays are divided by it
    // Fields that may differ between runs: "timing" (answer at once), "length" (a read's
    // length), "data" (a write's bytes), "clock" (status reports carry the board's own clock).
    std::set<std::string> lenient;
};

// What the board answers to a request that matched.
struct ReplayAnswer {
    bool never = false;   // recorded without an answer (cancelled, or the program ended first)
    bool atOnce = false;  // recorded as failing at once, not pending
    std::uint32_t error = 0;
    std::uint32_t information = 0;
    std::vector<std::uint8_t> output;
    std::vector<std::uint8_t> window;
    int delayMs = 0;
    bool liveClock = false;  // a status report: put the board's clock in bytes 1..3
};

// A request as the board sees it.
struct ReplayRequest {
    Target target = Target::Pipe00;
    int pipe = -1;       // a reset: the pipe's number
    bool write = false;  // a WriteFile (else a read, or a control code on the device or a pipe)
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> window;
    std::uint32_t outLength = 0;
};

class Replay {
  public:
    // The session in `path`; nullptr with the reason (and the line) when it cannot be read.
    static std::shared_ptr<Replay> Load(const std::string& path, ReplayOptions options, std::string& why);
    static std::shared_ptr<Replay> Parse(const std::string& text, ReplayOptions options, std::string& why);

    // The recorded board: its device path (empty when the trace has none) and type byte.
    std::string DevicePath() const { return devicePath_; }
    std::optional<std::uint8_t> Type() const { return type_; }

    // The next request on the request's target: true with the answer when it matches; false with
    // one line naming the difference (or that nothing more was recorded there).
    bool Next(const ReplayRequest& request, ReplayAnswer& answer, std::string& difference);

    // The board opened or closed a handle.
    void HandleOpened();
    void HandleClosed();
    int OpenHandles() const;
    // A handle has been opened since the start (or the last Restart).
    bool Started() const;
    // Every recorded request (but the status reads, whose count depends on timing) has come.
    bool AllCame() const;
    // Differences found so far, each one line.
    std::vector<std::string> Differences() const;
    // The first recorded request that has not come, described with its line; empty when none.
    std::string FirstMissing() const;
    // From the start again (--loop).
    void Restart();

    struct Expected {
        int line = 0;
        ReplayRequest request;
        ReplayAnswer answer;
    };

  private:
    ReplayOptions options_;
    std::string devicePath_;
    std::optional<std::uint8_t> type_;
    // One queue a target, and one for each pipe's resets.
    static constexpr int kQueues = kTargetCount + 4;
    static int QueueOf(const ReplayRequest& request);
    std::vector<Expected> queues_[kQueues];

    mutable std::mutex lock_;
    std::size_t next_[kQueues] = {};
    int openHandles_ = 0;
    bool started_ = false;
    std::vector<std::string> differences_;
};

// The options of a board that plays `replay`: the recorded device path and type byte (0x21
// when the trace has none), and the replay.
BoardOptions ReplayingBoard(std::shared_ptr<Replay> replay);

// "transfer request (EEPROM to host, 64 bytes at 0x10)", "PIPE02 read of 64 bytes", ...
std::string DescribeRequest(const ReplayRequest& request);

}  // namespace vboard
