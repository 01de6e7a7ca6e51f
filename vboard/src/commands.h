// The board's control commands: one line of text in, a reply out. The same commands come over a
// control connection (`vboard CMD ...`) and through Board::Execute.
#pragma once

#include <string>

#include "vboard/board.h"

namespace vboard {

CommandResult ExecuteCommand(Board& board, const std::string& text);

// The command list as `vboard --help` and `help` show it.
const char* CommandHelp();

}  // namespace vboard
