// Values shared by the virtual board's API, its command set and its front ends.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "vbus/protocol.h"

namespace vboard {

// The device interface the board publishes, and what its driver answers to.
inline constexpr char kInterfaceGuidText[] = "{77f49320-16ef-11d2-ad51-006097b514dd}";
vbus::Guid InterfaceGuid();

inline constexpr std::uint32_t kIoctlResetPipe = 0x220008;
inline constexpr std::uint32_t kIoctlTransfer = 0x80002010;
inline constexpr std::uint32_t kIoctlBoardType = 0x8000200c;
inline constexpr std::uint32_t kRequestEepromTransfer = 0x474;
inline constexpr std::uint32_t kRequestBoardType = 0x472;

inline constexpr int kEepromSize = 256;
inline constexpr int kKeyCount = 8;
inline constexpr int kDigitCount = 8;
inline constexpr int kPipeCount = 4;
inline constexpr std::uint8_t kNoKey = 0xFF;

using Eeprom = std::array<std::uint8_t, kEepromSize>;
using Digits = std::array<std::uint8_t, kDigitCount>;  // most significant digit first, 0..15

// Time of day on the board's clock.
struct ClockTime {
    int hours = 0;    // 0..23
    int minutes = 0;  // 0..59
    int seconds = 0;  // 0..59
    friend bool operator==(const ClockTime&, const ClockTime&) = default;
};
std::optional<ClockTime> ParseClockTime(const std::string& text);  // "HH:MM:SS"
std::string FormatClockTime(const ClockTime& t);                   // "HH:MM:SS"
std::uint8_t ToBcd(int value);                                     // 0..99 -> packed BCD

// Where a fault applies: the four pipes and the three control codes.
enum class Target { Pipe00, Pipe01, Pipe02, Pipe03, Reset, Transfer, Type };
inline constexpr int kTargetCount = 7;
const char* TargetName(Target target);  // "PIPE00".."PIPE03", "reset", "transfer", "type"
std::optional<Target> ParseTarget(const std::string& name);

enum class FaultMode {
    Normal,     // pend, then complete when the answer is ready
    Immediate,  // complete at once (no ACCEPTED) when the answer is ready; else pend
    Stall,      // stay pending until cancelled, closed or unplugged
    Delay,      // answer no sooner than `value` ms after the request arrived
    Fail,       // fail at once with Windows error `value`
    Short,      // move at most `value` bytes
    NoByte,     // type query only: succeed without writing the byte
    Tear,       // PIPE03 only: the first `value` bytes reach the EEPROM, then the write fails (31)
};

struct Fault {
    FaultMode mode = FaultMode::Normal;
    std::uint32_t value = 0;  // milliseconds, error code or byte count, by mode
    friend bool operator==(const Fault&, const Fault&) = default;
};
std::string FormatFault(const Fault& fault);  // "normal", "delay 200", "fail 31", ...

// A cancel delay that never ends: the board ignores cancels, and a cancelled request goes on as
// if no cancel had come (a stalled one then never ends while its handle is open).
inline constexpr std::uint32_t kCancelIgnored = 0xFFFFFFFFu;

struct FaultSet {
    std::array<Fault, kTargetCount> requests{};             // indexed by Target
    std::array<std::uint32_t, kPipeCount> pipeOpenError{};  // 0 = the pipe opens
    std::uint32_t deviceOpenError = 0;                      // 0 = the device opens
    std::uint32_t cancelDelayMs = 0;                        // time from CANCEL to its DONE 995
    // An unplug leaves pending requests pending (a driver that completes nothing on a surprise
    // removal) instead of ending them with 1167.
    bool keepPendingOnUnplug = false;
    friend bool operator==(const FaultSet&, const FaultSet&) = default;
};

// One line of the traffic log.
enum class LogOp { Probe, Open, Read, Write, Ioctl, Cancel, Close };
enum class LogStatus {
    Immediate,  // completed at once (no ACCEPTED)
    Pending,    // accepted; a later entry with the same handle and id completes it
    Completed,  // a pending request ended
};

struct LogEntry {
    std::uint64_t sequence = 0;
    std::uint64_t timeMs = 0;  // since the board started
    std::uint32_t handle = 0;  // connection number
    std::string target;        // "device", "PIPE00".., or the path an open did not match
    LogOp op = LogOp::Read;
    std::uint32_t requestId = 0;
    std::uint32_t code = 0;   // control code of an ioctl
    std::uint32_t asked = 0;  // bytes asked for (read, ioctl output) or given (write)
    std::uint32_t moved = 0;  // bytes transferred
    std::uint32_t error = 0;  // Windows error code, 0 = success
    LogStatus status = LogStatus::Immediate;
};
const char* LogOpName(LogOp op);
std::string FormatLogEntry(const LogEntry& entry);  // one line, no newline

// A consistent picture of the board.
struct BoardStatus {
    int slot = -1;
    std::string devicePath;
    std::string eepromFile;
    bool plugged = true;
    std::uint8_t type = 0x21;
    std::uint8_t heldKeys = 0;  // bit i = key i held
    ClockTime clock;
    bool clockRunning = true;
    Digits display{};
    int reportIntervalMs = 0;
    int connections = 0;
    FaultSet faults;
};

}  // namespace vboard
