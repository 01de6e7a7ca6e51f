#include "vboard/types.h"

#include <cstdio>

namespace vboard {

vbus::Guid InterfaceGuid() {
    // {77F49320-16EF-11D2-AD51-006097B514DD} in GUID memory order (first three fields little-endian).
    return {0x20, 0x93, 0xF4, 0x77, 0xEF, 0x16, 0xD2, 0x11, 0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD};
}

std::optional<ClockTime> ParseClockTime(const std::string& text) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &tail) != 3) return std::nullopt;
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return std::nullopt;
    return ClockTime{h, m, s};
}

std::string FormatClockTime(const ClockTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hours, t.minutes, t.seconds);
    return buf;
}

std::uint8_t ToBcd(int value) { return static_cast<std::uint8_t>(((value / 10) % 10) << 4 | (value % 10)); }

namespace {
constexpr const char* kTargetNames[kTargetCount] = {"PIPE00", "PIPE01",   "PIPE02", "PIPE03",
                                                    "reset",  "transfer", "type"};
}

const char* TargetName(Target target) { return kTargetNames[static_cast<int>(target)]; }

std::optional<Target> ParseTarget(const std::string& name) {
    for (int i = 0; i < kTargetCount; ++i)
        if (name == kTargetNames[i]) return static_cast<Target>(i);
    return std::nullopt;
}

std::string FormatFault(const Fault& fault) {
    switch (fault.mode) {
        case FaultMode::Normal:
            return "normal";
        case FaultMode::Immediate:
            return "immediate";
        case FaultMode::Stall:
            return "stall";
        case FaultMode::Delay:
            return "delay " + std::to_string(fault.value);
        case FaultMode::Fail:
            return "fail " + std::to_string(fault.value);
        case FaultMode::Short:
            return "short " + std::to_string(fault.value);
        case FaultMode::NoByte:
            return "nobyte";
        case FaultMode::Tear:
            return "tear " + std::to_string(fault.value);
    }
    return "?";
}

const char* LogOpName(LogOp op) {
    switch (op) {
        case LogOp::Probe:
            return "probe";
        case LogOp::Open:
            return "open";
        case LogOp::Read:
            return "read";
        case LogOp::Write:
            return "write";
        case LogOp::Ioctl:
            return "ioctl";
        case LogOp::Cancel:
            return "cancel";
        case LogOp::Close:
            return "close";
    }
    return "?";
}

std::string FormatLogEntry(const LogEntry& e) {
    char head[96];
    std::snprintf(head, sizeof head, "#%llu %llu.%03llus h%u ", static_cast<unsigned long long>(e.sequence),
                  static_cast<unsigned long long>(e.timeMs / 1000),
                  static_cast<unsigned long long>(e.timeMs % 1000), e.handle);
    std::string line = head + e.target + " " + LogOpName(e.op);
    char tail[160];
    if (e.op == LogOp::Read || e.op == LogOp::Write || e.op == LogOp::Ioctl || e.op == LogOp::Cancel) {
        std::snprintf(tail, sizeof tail, " id=%u", e.requestId);
        line += tail;
    }
    if (e.op == LogOp::Ioctl) {
        std::snprintf(tail, sizeof tail, " code=0x%x", e.code);
        line += tail;
    }
    if (e.op == LogOp::Read || e.op == LogOp::Write || e.op == LogOp::Ioctl) {
        std::snprintf(tail, sizeof tail, " asked=%u moved=%u", e.asked, e.moved);
        line += tail;
    }
    line += " error=" + std::to_string(e.error);
    switch (e.status) {
        case LogStatus::Immediate:
            line += " immediate";
            break;
        case LogStatus::Pending:
            line += " pending";
            break;
        case LogStatus::Completed:
            line += " completed";
            break;
    }
    return line;
}

}  // namespace vboard
