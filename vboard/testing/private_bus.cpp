#include "vboard_testing/private_bus.h"

#include <unistd.h>

#include <filesystem>
#include <thread>

#include "winapi_standin.h"

PrivateBus::PrivateBus(const std::string& prefix) {
    // Short: the board's socket path must fit a UNIX socket address.
    static int buses = 0;
    const std::string name = prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(++buses);
    dir_ = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    // A bus directory is its owner's alone.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    standin::SetBusDirectory(dir_);
}

PrivateBus::~PrivateBus() {
    RemoveBoards();
    standin::SetBusDirectory("");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

vboard::Board& PrivateBus::AddBoard(vboard::BoardOptions options, std::string* whyNot) {
    options.busDir = dir_;
    if (options.eepromFile.empty())
        options.eepromFile = dir_ + "/eeprom-" + std::to_string(boards_.size()) + ".bin";
    options.diagnostics = [](const std::string&) {};
    auto board = std::make_unique<vboard::Board>(std::move(options));
    std::string why;
    const bool started = board->Start(&why);
    if (whyNot) *whyNot = started ? std::string() : why.empty() ? "the board did not start" : why;
    boards_.push_back(std::move(board));
    return *boards_.back();
}

void PrivateBus::RemoveBoards() { boards_.clear(); }

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}
