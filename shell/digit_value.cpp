#include "digit_value.h"

#include <string>

#include "hex_digit.h"

DigitValueCheck ParseDigitValue(std::string_view typed, DigitRecord& digits) {
    if (typed.size() > kDigitCount) return DigitValueCheck::TooLong;
    if (typed.empty()) return DigitValueCheck::Empty;
    const std::string padded = std::string(kDigitCount - typed.size(), '0') + std::string(typed);
    DigitRecord parsed{};
    for (std::size_t i = 0; i < kDigitCount; ++i)
        if (HexDigitValue(padded[i], parsed[i]) != 0) return DigitValueCheck::NotHex;
    digits = parsed;
    return DigitValueCheck::Ok;
}
