// boardctl's commands. Each runs one request against the board and writes its result; a
// failure is thrown as CommandError (exit_codes.h) and reported by RunBoardctl.
#pragma once

#include <string>

#include "command_line.h"
#include "console.h"
#include "stop_signal.h"

struct Context {
    const Request& request;
    Console& console;
    StopSignal& stop;
};

// Runs the command line: the result to the console's output, a failure as one line to its
// error stream (and, with --json, as an object on its output). Returns the exit status.
int RunBoardctl(const std::vector<std::string>& args, Console& console, StopSignal& stop);

// The board the request means (--board N, else the first, as the tools find it), identified
// as the tools identify it; throws unless it is there and of a known type. Afterwards the board
// link's device path is that board's.
void ChooseBoard(const Request& request);

void RunList(Context& context);
void RunEepromRead(Context& context);
void RunEepromWrite(Context& context);
void RunEepromVerify(Context& context);
void RunEepromFill(Context& context);
void RunKeys(Context& context);
void RunClock(Context& context);
void RunDisplay(Context& context);

// "0x2a".
std::string HexByte(int value);
