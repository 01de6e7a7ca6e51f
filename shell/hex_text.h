// EEPROM data as text: two hexadecimal digits a byte, one separator after each ("01 02 0a ").
#pragma once

#include <cstddef>
#include <string>

// Reads `count` digit pairs from `text` into `out`, byte by byte: a pair every 3 bytes of text
// when `separated` is 1 (the byte after a pair is skipped unseen), every 2 otherwise.
// Returns 0, or 1 at the first character that is no hex digit; bytes stored before it stay.
// Never reads past the text's terminating NUL (a NUL is no digit).
int ParseHexByteText(const char* text, unsigned char* out, int count, int separated);

// Lowercase, two digits and one space per byte: {0x00, 0xAB, 0x10} gives "00 ab 10 ".
std::string FormatHexBytes(const unsigned char* bytes, int count);
