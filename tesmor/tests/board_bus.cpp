#include "board_bus.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "winapi_standin.h"

BoardBus::BoardBus(const std::string& name) {
    dir_ = (std::filesystem::temp_directory_path() / ("tesmor-" + std::to_string(::getpid()) + "-" + name))
               .string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    standin::SetBusDirectory(dir_);
}

BoardBus::~BoardBus() {
    boards_.clear();
    standin::SetBusDirectory("");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

vboard::Board* BoardBus::AddBoard(vboard::BoardOptions options) {
    options.busDir = dir_;
    if (options.eepromFile.empty()) options.eepromFile = dir_ + "/eeprom-" + std::to_string(boards_.size());
    if (!options.clock) {
        options.clock = vboard::ClockTime{};
        options.clockRunning = false;
    }
    options.diagnostics = [](const std::string&) {};
    auto board = std::make_unique<vboard::Board>(std::move(options));
    if (!board->Start()) return nullptr;
    boards_.push_back(std::move(board));
    return boards_.back().get();
}

std::vector<vboard::LogEntry> PipeLog(const vboard::Board& board, const std::string& target) {
    std::vector<vboard::LogEntry> out;
    for (const vboard::LogEntry& e : board.TrafficLog())
        if (e.target == target) out.push_back(e);
    return out;
}

int CountOps(const vboard::Board& board, const std::string& target, vboard::LogOp op, bool completedOnly) {
    const auto log = PipeLog(board, target);
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const vboard::LogEntry& e) {
        return e.op == op && (!completedOnly || e.status != vboard::LogStatus::Pending);
    }));
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

bool RequestPending(const vboard::Board& board, const std::string& target, vboard::LogOp op) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> pending;
    for (const vboard::LogEntry& e : PipeLog(board, target)) {
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
