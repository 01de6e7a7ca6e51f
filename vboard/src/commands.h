// The board's control commands: one line of text in, a reply out. The same commands come over a
// control connection (`vboard CMD ...`) and through Board::Execute.
#pragma once

#include <functional>
#include <string>

#include "vboard/board.h"

namespace vboard {

// A command read and checked, not yet carried out: the command line checks its words this way
// before it looks for a board.
struct ParsedCommand {
    std::function<CommandResult(Board&)> apply;  // empty when the text is no valid command
    std::string usage;                           // then: what is wrong with it
};
ParsedCommand ParseCommand(const std::string& text);

// Parses and carries out; a command that does not parse fails with its usage text.
CommandResult ExecuteCommand(Board& board, const std::string& text);

// The command list as `vboard --help` and `help` show it.
const char* CommandHelp();

}  // namespace vboard
