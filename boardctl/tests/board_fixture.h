// boardctl run in-process against virtual boards on a bus of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console.h"
#include "stop_signal.h"
#include "vboard/board.h"
#include "vboard_testing/gtest_bus.h"
#include "vboard_testing/traffic_log.h"

// Collects what a command writes.
class CapturedConsole : public Console {
  public:
    void Out(std::string_view utf8) override;
    void OutBytes(std::string_view bytes) override;
    void Err(std::string_view utf8) override;
    std::string OutText() const;
    std::string ErrText() const;
    bool OutIsTerminal() const override { return terminal; }
    bool terminal = false;  // what it says standard output is

  private:
    mutable std::mutex lock_;
    std::string out_;
    std::string err_;
};

struct RunResult {
    int exit = -1;
    std::string out;
    std::string err;
};

class BoardctlTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a board on this test's bus; status reports every 20 ms unless told otherwise.
    vboard::Board& AddBoard(vboard::BoardOptions options = {});
    // boardctl with these arguments (and the stop signal Ctrl-C would raise).
    RunResult Run(const std::vector<std::string>& args);
    RunResult Run(const std::vector<std::string>& args, StopSignal& stop, bool terminal = false);
    // A file in the test's directory.
    std::string File(const std::string& name) const { return bus_->Directory() + "/" + name; }
    void WriteFile(const std::string& name, const std::string& content) const;
    std::string ReadFile(const std::string& name) const;

    std::unique_ptr<GTestBus> bus_;
};

// A test pattern: byte i is (i * 7 + 3) mod 256.
std::vector<std::uint8_t> Pattern();
