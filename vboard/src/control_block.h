// The records that come with the board's control codes.
#pragma once

#include <cstdint>
#include <optional>

#include "vbus/protocol.h"

namespace vboard {

// 16 bytes with a 32-bit data pointer, or 24 with a 64-bit one:
// offset u32 @0, length u32 @4, data pointer @8, request u32 @12 (or @16).
struct ControlBlock {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t request = 0;
};
std::optional<ControlBlock> ParseControlBlock(const vbus::Bytes& input);

// 6 bytes: address (3, unused), size u16 @3, command u8 @5 (1 = EEPROM to host, 0 = host to EEPROM).
struct TransferCommand {
    std::uint16_t size = 0;
    std::uint8_t command = 0;
};
std::optional<TransferCommand> ParseTransferCommand(const vbus::Bytes& window);

}  // namespace vboard
