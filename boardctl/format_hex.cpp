// The tools' own hex text, "de ad be ef ": two digits and one separator a byte, 16 bytes a line.
// Each line is read as Varnel reads its write field.
#include "hex_digit.h"
#include "hex_text.h"
#include "image.h"

namespace {

constexpr int kLineBytes = 16;

// The column (from 1) of the first character in the digit pair at `text` that is no hex digit.
int BadColumn(const std::string& text, std::size_t pair) {
    unsigned char ignored = 0;
    const std::size_t at = pair * 3;
    if (at >= text.size() || HexDigitValue(text[at], ignored) != 0) return static_cast<int>(at) + 1;
    return static_cast<int>(at) + 2;
}

}  // namespace

std::string RenderHexText(int /*start*/, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += kLineBytes) {
        const int count = static_cast<int>(std::min<std::size_t>(kLineBytes, bytes.size() - at));
        text += FormatHexBytes(bytes.data() + at, count) + "\n";
    }
    return text;
}

bool ParseHexText(std::string_view content, int start, ImageBuilder& image, ImageError& error) {
    std::vector<std::uint8_t> bytes;
    const std::vector<std::string_view> lines = TextLines(content);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line(lines[i]);
        // Trailing blanks are no digits left out.
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        // As the write field counts: n bytes of text hold n / 3 digit pairs, and one more for a
        // last pair without its separator.
        const std::size_t count = line.size() / 3 + (line.size() % 3 != 0 ? 1 : 0);
        // One pair at a time, so that the error can name where the bad digit is.
        for (std::size_t pair = 0; pair < count; ++pair) {
            unsigned char value = 0;
            if (ParseHexByteText(line.c_str() + pair * 3, &value, 1, 1) != 0) {
                const int column = BadColumn(line, pair);
                const char bad = static_cast<std::size_t>(column - 1) < line.size() ? line[column - 1] : ' ';
                error = {static_cast<int>(i) + 1, "column " + std::to_string(column) + ": '" +
                                                      std::string(1, bad) + "' is no hex digit"};
                return false;
            }
            bytes.push_back(value);
        }
    }
    std::string why;
    if (!image.Add(start, bytes, why)) {
        error = {0, why};
        return false;
    }
    return true;
}
