// The board's traffic log: a bounded ring of the newest entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "vboard/types.h"

namespace vboard {

class TrafficLog {
  public:
    explicit TrafficLog(std::size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

    // Numbers the entry (from 1) and keeps it, dropping the oldest when full; returns the stored copy.
    const LogEntry& Add(LogEntry entry);
    // The newest `count` entries, oldest first.
    std::vector<LogEntry> Last(std::size_t count) const;

  private:
    std::size_t capacity_;
    std::uint64_t next_ = 1;
    std::deque<LogEntry> entries_;
};

}  // namespace vboard
