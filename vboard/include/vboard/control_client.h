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
    bool answered = true;  // false: the board took the connection but did not answer the probe
                           // (out of connection slots, or stuck); then only `slot` is known
};

// Boards that take a connection, in slot order.
std::vector<BoardInfo> ListBoards(const std::string& busDir);

// Sends one command over a control connection and returns the board's reply; nothing (with the
// reason in `why`) when the board cannot be reached. `boardFound` tells a board that took the
// connection but gave no reply (out of connection slots, say) from no board at all.
std::optional<CommandResult> SendCommand(const std::string& busDir, int slot, const std::string& command,
                                         std::string* why = nullptr, bool* boardFound = nullptr);

}  // namespace vboard
