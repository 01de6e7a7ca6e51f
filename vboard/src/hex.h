// Hexadecimal bytes and numbers in the board's command texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vboard/types.h"

namespace vboard {

// Whitespace-separated tokens, each an even number of hex digits ("01 02 ff", "0102ff"); tokens
// that end in ':' (the address column of a dump) are skipped. Nothing when a token is not hex.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);

// Decimal, or hexadecimal after "0x"; nothing when not a number or above `max`.
std::optional<std::uint32_t> ParseNumber(const std::string& text, std::uint32_t max);

// 16 lines "00: ff ff ...", one per 16 bytes.
std::string FormatEepromDump(const Eeprom& data);

// "0123ABCD"; a digit above 15 shows as '?'.
std::string FormatDigits(const Digits& digits);

}  // namespace vboard
