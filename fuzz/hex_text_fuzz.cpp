// Varnel's hex byte text: parsing never reads past the text's end whatever `count` says, a bad
// digit is reported, and every byte string formats to text that parses back to it.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hex_digit.h"
#include "hex_text.h"

namespace {
constexpr int kMaxBytes = 64;  // one transfer
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int count = data[0] % (kMaxBytes + 1);
    const int separated = data[1] & 1;
    data += 2;
    size -= 2;

    // The digit rule.
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char value = 0xEE;
        const char c = static_cast<char>(data[i]);
        const int result = HexDigitValue(c, value);
        if ((result == 0) != (std::isxdigit(data[i]) != 0)) std::abort();
        if (result == 0 && value > 15) std::abort();
        if (result != 0 && value != 0xEE) std::abort();
    }

    // The parser on the text as a NUL-terminated string in a buffer of exactly its size.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    unsigned char out[kMaxBytes];
    ParseHexByteText(text.data(), out, count, separated);

    // Bytes to text and back.
    const int n = static_cast<int>(size < kMaxBytes ? size : kMaxBytes);
    const std::string formatted = FormatHexBytes(data, n);
    if (formatted.size() != static_cast<std::size_t>(3 * n)) std::abort();
    std::vector<char> copy(formatted.begin(), formatted.end());
    copy.push_back('\0');
    unsigned char back[kMaxBytes] = {};
    if (ParseHexByteText(copy.data(), back, n, 1) != 0 || std::memcmp(back, data, n) != 0) std::abort();
    return 0;
}
