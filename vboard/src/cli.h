// The `vboard` command line: run a board in the foreground, list the boards on the bus, or steer
// a running board.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "vboard/board.h"
#include "vboard/replay.h"

namespace vboard {

struct CliRequest {
    enum class Kind { Help, Run, List, Command, Replay, Error } kind = Kind::Help;
    BoardOptions run;     // Run, Replay (slot)
    bool trace = false;   // Run: print the traffic log as it grows
    int slot = -1;        // Command: -1 = the board at the lowest slot
    std::string command;  // Command: the words joined by spaces
    std::string error;    // Error: what is wrong
    // Replay: the trace, and how to play it.
    std::string traceFile;
    bool loop = false;
    ReplayOptions replay;
};

// `args` without the program name.
CliRequest ParseCommandLine(const std::vector<std::string>& args);

struct CliContext {
    std::string busDir;
    std::ostream& out;
    std::ostream& err;
    // Run: called once the board is up; returns when the board should detach.
    std::function<void(Board&)> waitWhileRunning;
    // Run: ends that wait early, from the board's own thread, when the board has ended by
    // itself; the run then exits with 1.
    std::function<void()> endWait;
};

// Carries out a request; the process exit code (0 ok, 1 the command failed, 2 usage, 3 no board,
// 4 the board did not answer), as UsageText() lists them.
int RunCommandLine(const std::vector<std::string>& args, CliContext& context);

std::string UsageText();

}  // namespace vboard
