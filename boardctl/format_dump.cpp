// The dump format: "10: de ad be ef ff ff ff ff  ff ff ff ff ff ff ff ff  |....????????????|".
// Each line starts with its address; the ASCII column is for people and is not read back.
#include <cstdio>

#include "hex_digit.h"
#include "hex_text.h"
#include "image.h"

namespace {

constexpr int kLineBytes = 16;
constexpr int kHalfLine = 8;

char Printable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7f ? static_cast<char>(byte) : '.'; }

// A number of 1 to 4 hexadecimal digits; nullopt for anything else.
std::optional<int> HexNumber(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char c : text) {
        unsigned char digit = 0;
        if (HexDigitValue(c, digit) != 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string RenderDump(int start, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += kLineBytes) {
        const int count = static_cast<int>(std::min<std::size_t>(kLineBytes, bytes.size() - at));
        char address[8];
        std::snprintf(address, sizeof address, "%02x: ", (start + static_cast<int>(at)) & 0xFF);
        text += address;
        const int first = std::min(count, kHalfLine);
        text += FormatHexBytes(bytes.data() + at, first) + " ";
        if (count > kHalfLine) text += FormatHexBytes(bytes.data() + at + kHalfLine, count - kHalfLine);
        // Short last line: the ASCII column stays in place.
        text += std::string(static_cast<std::size_t>(kLineBytes - count) * 3, ' ');
        text += " |";
        for (int i = 0; i < count; ++i) text += Printable(bytes[at + i]);
        text += "|\n";
    }
    return text;
}

bool ParseDump(std::string_view content, ImageBuilder& image, ImageError& error) {
    const std::vector<std::string_view> lines = TextLines(content);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        std::string_view line = lines[i];
        const std::size_t bar = line.find('|');
        if (bar != std::string_view::npos) line = line.substr(0, bar);
        line = Trimmed(line);
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            error = {lineNumber, "no address (a dump line reads \"10: de ad ...\")"};
            return false;
        }
        const auto address = HexNumber(Trimmed(line.substr(0, colon)));
        if (!address) {
            std::string why = "\"";  // built by appending: GCC 12 misreads the operator+ chain
            why.append(line.substr(0, colon)).append("\" is no hexadecimal address");
            error = {lineNumber, why};
            return false;
        }
        std::vector<std::uint8_t> bytes;
        std::string_view rest = line.substr(colon + 1);
        while (!(rest = Trimmed(rest)).empty()) {
            const std::size_t end = rest.find_first_of(" \t");
            const std::string token(rest.substr(0, end));
            unsigned char value = 0;
            if (token.size() != 2 || ParseHexByteText(token.c_str(), &value, 1, 0) != 0) {
                error = {lineNumber, "\"" + token + "\" is no two-digit hexadecimal byte"};
                return false;
            }
            bytes.push_back(value);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
        }
        std::string why;
        if (!image.Add(*address, bytes, why)) {
            error = {lineNumber, why};
            return false;
        }
    }
    return true;
}
