// The board's 4-byte status report and what the window makes of it: which lamp is lit
// and the clock text.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

constexpr std::size_t kStatusReportSize = 4;
constexpr int kLampCount = 8;

struct StatusReport {
    BYTE key;      // 0..7 lights lamp 1..8; any other value lights none
    BYTE seconds;  // packed BCD
    BYTE minutes;  // packed BCD
    BYTE hours;    // packed BCD
};

// The report in the first kStatusReportSize bytes of `bytes`.
StatusReport StatusReportFrom(const BYTE* bytes);

// tens * 10 + units for a packed BCD byte; other bytes give (byte - 6 * (byte >> 4)) mod 256.
BYTE BcdDecode(BYTE byte);

// Index of the lamp the key byte lights (0..7), or -1 for none.
int LitLamp(BYTE key);

// "hh : mm : ss" from the report's clock bytes: "%d : %d : %d" of the decoded values, then a
// "0" inserted at 0, 5 and 10 for hours, minutes and seconds below 10, in that order. A
// decoded value above 99 prints with three digits and the inserts stay where they are.
std::string ClockText(const StatusReport& report);
