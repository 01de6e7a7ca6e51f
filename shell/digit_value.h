// The value typed for the board's display: up to 8 hexadecimal digits, padded on the left
// with zeros, one digit per byte of the record sent to the board.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string_view>

constexpr std::size_t kDigitCount = 8;

// Byte i holds the value 0..15 of the i-th digit, most significant first.
using DigitRecord = std::array<BYTE, kDigitCount>;

enum class DigitValueCheck {
    Ok,
    TooLong,  // more than 8 bytes (a GBK character counts 2)
    Empty,    // nothing typed
    NotHex,   // some character is no hexadecimal digit
};

// Checks `typed` (the length first: too long, then empty; then every digit) and, when it is
// acceptable, fills `digits`; otherwise `digits` is left as it was.
DigitValueCheck ParseDigitValue(std::string_view typed, DigitRecord& digits);
