#include "private_bus.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "winapi_standin.h"

PrivateBus::PrivateBus() {
    // Short: the board's socket path must fit a UNIX socket address.
    static int buses = 0;
    const std::string name = "varnel-" + std::to_string(::getpid()) + "-" + std::to_string(++buses);
    dir_ = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    standin::SetBusDirectory(dir_);
}

PrivateBus::~PrivateBus() {
    boards_.clear();
    standin::SetBusDirectory("");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

vboard::Board& PrivateBus::AddBoard(vboard::BoardOptions options) {
    options.busDir = dir_;
    if (options.eepromFile.empty())
        options.eepromFile = dir_ + "/eeprom-" + std::to_string(boards_.size()) + ".bin";
    options.diagnostics = [](const std::string&) {};
    auto board = std::make_unique<vboard::Board>(std::move(options));
    std::string why;
    EXPECT_TRUE(board->Start(&why)) << why;
    boards_.push_back(std::move(board));
    return *boards_.back();
}

std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target,
                                         vboard::LogOp op) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : board.TrafficLog())
        if (e.target == target && e.op == op) out.push_back(e);
    return out;
}

std::size_t Requests(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                     std::uint32_t code, std::uint64_t mark) {
    std::size_t n = 0;
    for (const auto& e : LogEntries(board, target, op))
        if (e.sequence > mark && e.status != vboard::LogStatus::Completed && (code == 0 || e.code == code))
            ++n;
    return n;
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

bool Eventually(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}
