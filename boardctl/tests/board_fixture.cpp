#include "board_fixture.h"

#include <fstream>
#include <iterator>

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

void BoardctlTest::SetUp() { bus_ = std::make_unique<GTestBus>("boardctl"); }

void BoardctlTest::TearDown() {
    bus_->RemoveBoards();
    EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }))
        << "requests still in flight after the test";
    EXPECT_EQ(standin::OpenHandleCount(), 0u) << "handles left open";
    bus_.reset();
}

vboard::Board& BoardctlTest::AddBoard(vboard::BoardOptions options) {
    if (options.reportIntervalMs == 0) options.reportIntervalMs = 20;
    options.clockRunning = false;
    if (!options.clock) options.clock = vboard::ClockTime{8, 9, 10};
    return bus_->AddBoard(std::move(options));
}

RunResult BoardctlTest::Run(const std::vector<std::string>& args) {
    StopSignal stop;
    return Run(args, stop);
}

RunResult BoardctlTest::Run(const std::vector<std::string>& args, StopSignal& stop, bool terminal) {
    CapturedConsole console;
    console.terminal = terminal;
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

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}
