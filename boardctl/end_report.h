// What a command is doing on the board right now, for an end that cannot wait for it: a
// SIGTERM or a second Ctrl-C that ends the program at once, or a request the driver keeps past
// its time limit and the grace of its cancel. Either way the program says exactly what it left
// on the board (for a write: the ranges written, not written, and the job in flight, whose state
// is unknown) and ends, without waiting for the request.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "console.h"
#include "eeprom_jobs.h"
#include "exit_codes.h"
#include "json.h"

// The time a cancelled request is given to end after its own limit has run out.
constexpr std::chrono::milliseconds kCancelGrace{2000};

class EndReport {
  public:
    static EndReport& Instance();

    // Where the report goes: the console, whether --json was asked for, the command's name.
    void Attach(Console& console, bool json, const std::string& command);
    // The console is going away: an end after this writes nothing.
    void Detach();

    // A step on the board that ends within `limit` (plus kCancelGrace), or not at all when it
    // has no limit (a --watch waiting for the next report). `what` says what it waits for.
    void BeginStep(const std::string& what, std::optional<std::chrono::milliseconds> limit);
    void EndStep();
    // A write's state so far; cleared with ClearWrite when the write is over.
    void SetWrite(const WriteState& state);
    void ClearWrite();

    // A step that has overrun its bound, if one has: what it waited for.
    std::optional<std::string> Overrun() const;

    // Writes the report (the message, and the write's state if one was under way) and ends the
    // process with `code` at once. Any thread.
    [[noreturn]] void EndNow(ExitCode code, const std::string& message);

  private:
    EndReport() = default;

    mutable std::mutex lock_;
    Console* console_ = nullptr;
    bool json_ = false;
    std::string command_;
    std::string step_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::optional<WriteState> write_;
    bool ending_ = false;
};

// The step's bound for as long as the object lives.
class BoundedStep {
  public:
    BoundedStep(const std::string& what, std::optional<std::chrono::milliseconds> limit) {
        EndReport::Instance().BeginStep(what, limit);
    }
    ~BoundedStep() { EndReport::Instance().EndStep(); }
    BoundedStep(const BoundedStep&) = delete;
    BoundedStep& operator=(const BoundedStep&) = delete;
};

// The text and the JSON fields of a write's state, for this report and for that of a write
// that stopped in the ordinary way; `unknownSaid` ends the line of the job in flight (what
// reading it back showed).
std::string WriteStateText(const WriteState& state, const std::string& unknownSaid = {});
Json WriteStateJson(const WriteState& state);
// Ranges as a list of {"start", "length"}.
Json RangesJson(const std::vector<AddressRange>& ranges);
