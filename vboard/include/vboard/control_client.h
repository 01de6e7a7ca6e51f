// Reaching boards on the bus from another process: listing them and sending control commands.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "vboard/board.h"

namespace vboard {

struct BoardInfo {
    int slot = -1;
    bool present = false;  // plugged
    std::string devicePath;
};

// Boards that answer a probe, in slot order.
std::vector<BoardInfo> ListBoards(const std::string& busDir);

// Sends one command over a control connection and returns the board's reply; nothing (with the
// reason in `why`) when the board cannot be reached.
std::optional<CommandResult> SendCommand(const std::string& busDir, int slot, const std::string& command,
                                         std::string* why = nullptr);

}  // namespace vboard
