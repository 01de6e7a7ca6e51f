#include "board_fixture.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "commands.h"
#include "winapi_standin.h"

void CapturedConsole::Out(std::string_view utf8) {
    std::lock_guard hold(lock_);
    out_ += utf8;
}
void CapturedConsole::OutBytes(std::string_view bytes) {
    std::lock_guard hold(lock_);
    out_ += bytes;
}
void CapturedConsole::Err(std::string_view utf8) {
    std::lock_guard hold(lock_);
    err_ += utf8;
}
std::string CapturedConsole::OutText() const {
    std::lock_guard hold(lock_);
    return out_;
}
std::string CapturedConsole::ErrText() const {
    std::lock_guard hold(lock_);
    return err_;
}

void BoardctlTest::SetUp() {
    // Short: the board's socket path must fit a UNIX socket address.
    static int buses = 0;
    dir_ = (std::filesystem::temp_directory_path() /
            ("boardctl-" + std::to_string(::getpid()) + "-" + std::to_string(++buses)))
               .string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    standin::SetBusDirectory(dir_);
}

void BoardctlTest::TearDown() {
    boards_.clear();
    standin::SetBusDirectory("");
    EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }))
        << "requests still in flight after the test";
    EXPECT_EQ(standin::OpenHandleCount(), 0u) << "handles left open";
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

vboard::Board& BoardctlTest::AddBoard(vboard::BoardOptions options) {
    options.busDir = dir_;
    if (options.eepromFile.empty())
        options.eepromFile = dir_ + "/eeprom-" + std::to_string(boards_.size()) + ".bin";
    if (options.reportIntervalMs == 0) options.reportIntervalMs = 20;
    options.clockRunning = false;
    if (!options.clock) options.clock = vboard::ClockTime{8, 9, 10};
    options.diagnostics = [](const std::string&) {};
    auto board = std::make_unique<vboard::Board>(std::move(options));
    std::string why;
    EXPECT_TRUE(board->Start(&why)) << why;
    boards_.push_back(std::move(board));
    return *boards_.back();
}

RunResult BoardctlTest::Run(const std::vector<std::string>& args) {
    CapturedConsole console;
    StopSignal stop;
    RunResult result;
    result.exit = RunBoardctl(args, console, stop);
    result.out = console.OutText();
    result.err = console.ErrText();
    return result;
}

void BoardctlTest::WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
}

std::string BoardctlTest::ReadFile(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<vboard::LogEntry> BoardctlTest::Requests(const vboard::Board& board, const std::string& target,
                                                     vboard::LogOp op) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : board.TrafficLog())
        if (e.target == target && e.op == op && e.status != vboard::LogStatus::Completed) out.push_back(e);
    return out;
}

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

bool Eventually(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}
