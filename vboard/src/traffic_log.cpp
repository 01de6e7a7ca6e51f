#include "traffic_log.h"

namespace vboard {

const LogEntry& TrafficLog::Add(LogEntry entry) {
    entry.sequence = next_++;
    if (entries_.size() == capacity_) entries_.pop_front();
    entries_.push_back(std::move(entry));
    return entries_.back();
}

std::vector<LogEntry> TrafficLog::Last(std::size_t count) const {
    const std::size_t n = count < entries_.size() ? count : entries_.size();
    return std::vector<LogEntry>(entries_.end() - static_cast<std::ptrdiff_t>(n), entries_.end());
}

}  // namespace vboard
