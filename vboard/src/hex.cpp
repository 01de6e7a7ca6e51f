#include "hex.h"

#include <cstdio>
#include <sstream>

namespace vboard {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        if (token.back() == ':') continue;
        if (token.size() % 2 != 0) return std::nullopt;
        for (std::size_t i = 0; i < token.size(); i += 2) {
            const int hi = HexValue(token[i]), lo = HexValue(token[i + 1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
    }
    return bytes;
}

std::optional<std::uint32_t> ParseNumber(const std::string& text, std::uint32_t max) {
    if (text.empty()) return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::uint64_t value = 0;
    for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit = hex ? HexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > max) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string FormatEepromDump(const Eeprom& data) {
    std::string out;
    char cell[8];
    for (int row = 0; row < kEepromSize; row += 16) {
        std::snprintf(cell, sizeof cell, "%02x:", row);
        out += cell;
        for (int i = 0; i < 16; ++i) {
            std::snprintf(cell, sizeof cell, " %02x", data[static_cast<std::size_t>(row + i)]);
            out += cell;
        }
        out += '\n';
    }
    return out;
}

std::string FormatDigits(const Digits& digits) {
    std::string out;
    for (auto d : digits) out += d < 16 ? "0123456789ABCDEF"[d] : '?';
    return out;
}

}  // namespace vboard
