#include "hex_text.h"

#include <cstdio>

#include "hex_digit.h"

int ParseHexByteText(const char* text, unsigned char* out, int count, int separated) {
    const std::size_t step = separated == 1 ? 3 : 2;
    std::size_t position = 0;
    for (int i = 0; i < count; ++i) {
        unsigned char high = 0;
        unsigned char low = 0;
        if (HexDigitValue(text[position], high) != 0) return 1;
        if (HexDigitValue(text[position + 1], low) != 0) return 1;
        out[i] = static_cast<unsigned char>(high * 16 + low);
        // The separator is skipped unseen, except that the text may end there.
        if (step == 3 && text[position + 2] == '\0') return i + 1 < count ? 1 : 0;
        position += step;
    }
    return 0;
}

std::string FormatHexBytes(const unsigned char* bytes, int count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count > 0 ? count : 0) * 3);
    for (int i = 0; i < count; ++i) {
        char pair[8];
        std::snprintf(pair, sizeof pair, bytes[i] < 16 ? "0%x " : "%x ", bytes[i]);
        text += pair;
    }
    return text;
}
