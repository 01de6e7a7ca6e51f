#include "vboard_testing/traffic_log.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

bool OfTarget(const vboard::LogEntry& e, const std::string& target) {
    return target.empty() || e.target == target;
}

}  // namespace

std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : board.TrafficLog())
        if (OfTarget(e, target)) out.push_back(e);
    return out;
}

std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, vboard::LogOp op) {
    return LogEntries(board, "", op);
}

std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target,
                                         vboard::LogOp op) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : board.TrafficLog())
        if (OfTarget(e, target) && e.op == op) out.push_back(e);
    return out;
}

std::vector<vboard::LogEntry> RequestEntries(const vboard::Board& board, const std::string& target,
                                             vboard::LogOp op, std::uint32_t code, std::uint64_t mark) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : LogEntries(board, target, op))
        if (e.sequence > mark && e.status != vboard::LogStatus::Completed && (code == 0 || e.code == code))
            out.push_back(e);
    return out;
}

std::size_t Requests(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                     std::uint32_t code, std::uint64_t mark) {
    return RequestEntries(board, target, op, code, mark).size();
}

int CountOps(const vboard::Board& board, const std::string& target, vboard::LogOp op, bool completedOnly) {
    const auto log = LogEntries(board, target, op);
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const vboard::LogEntry& e) {
        return !completedOnly || e.status != vboard::LogStatus::Pending;
    }));
}

std::uint64_t LogMark(const vboard::Board& board) {
    const auto last = board.TrafficLog(1);
    return last.empty() ? 0 : last.back().sequence;
}

bool RequestPending(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                    std::uint32_t code, std::uint64_t mark) {
    for (const auto& e : LogEntries(board, target, op))
        if (e.sequence > mark && e.status == vboard::LogStatus::Pending && (code == 0 || e.code == code))
            return true;
    return false;
}

bool StillPending(const vboard::Board& board, const std::string& target, vboard::LogOp op) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> pending;
    for (const vboard::LogEntry& e : LogEntries(board, target)) {
        if (e.op == vboard::LogOp::Close)  // closing drops what is pending on the handle
            std::erase_if(pending, [&](const auto& p) { return p.first == e.handle; });
        if (e.op != op) continue;
        if (e.status == vboard::LogStatus::Pending)
            pending.insert({e.handle, e.requestId});
        else
            pending.erase({e.handle, e.requestId});
    }
    return !pending.empty();
}

int MostOpenAtOnce(const vboard::Board& board, const std::string& target) {
    std::set<std::uint32_t> open;
    std::size_t most = 0;
    for (const vboard::LogEntry& e : board.TrafficLog()) {
        if (e.op == vboard::LogOp::Open && e.target == target && e.error == 0) open.insert(e.handle);
        if (e.op == vboard::LogOp::Close) open.erase(e.handle);
        most = std::max(most, open.size());
    }
    return static_cast<int>(most);
}
