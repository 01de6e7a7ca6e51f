#include "control_block.h"

namespace vboard {
namespace {

std::uint32_t U32At(const vbus::Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

std::optional<ControlBlock> ParseControlBlock(const vbus::Bytes& input) {
    if (input.size() != 16 && input.size() != 24) return std::nullopt;
    ControlBlock block;
    block.offset = U32At(input, 0);
    block.length = U32At(input, 4);
    block.request = U32At(input, input.size() == 16 ? 12 : 16);
    return block;
}

std::optional<TransferCommand> ParseTransferCommand(const vbus::Bytes& window) {
    if (window.size() != 6) return std::nullopt;
    TransferCommand command;
    command.size = static_cast<std::uint16_t>(window[3] | window[4] << 8);
    command.command = window[5];
    return command;
}

}  // namespace vboard
