// The numbers, bytes and times of the `vboard` command line: whatever they accept is in range
// and reads back the same after formatting.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    std::uint32_t max = 0;
    for (int i = 0; i < 4; ++i) max |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);

    if (const auto number = vboard::ParseNumber(text, max)) {
        if (*number > max) std::abort();
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", *number);
        if (vboard::ParseNumber(std::to_string(*number), max) != number) std::abort();
        if (vboard::ParseNumber(hex, max) != number) std::abort();
    }

    if (const auto bytes = vboard::ParseHexBytes(text)) {
        std::string again;
        char cell[4];
        for (auto b : *bytes) {
            std::snprintf(cell, sizeof cell, "%02x ", b);
            again += cell;
        }
        if (vboard::ParseHexBytes(again) != bytes) std::abort();
    }

    if (const auto time = vboard::ParseClockTime(text)) {
        if (time->hours < 0 || time->hours > 23 || time->minutes < 0 || time->minutes > 59 ||
            time->seconds < 0 || time->seconds > 59)
            std::abort();
        if (vboard::ParseClockTime(vboard::FormatClockTime(*time)) != time) std::abort();
    }

    // A dump of any EEPROM reads back as that EEPROM.
    vboard::Eeprom eeprom{};
    for (std::size_t i = 0; i < eeprom.size(); ++i) eeprom[i] = data[i % size];
    const auto dumped = vboard::ParseHexBytes(vboard::FormatEepromDump(eeprom));
    if (!dumped || !std::equal(dumped->begin(), dumped->end(), eeprom.begin(), eeprom.end())) std::abort();
    return 0;
}
