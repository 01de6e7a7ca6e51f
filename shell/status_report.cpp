#include "status_report.h"

#include <algorithm>
#include <cstdio>

StatusReport StatusReportFrom(const BYTE* bytes) { return {bytes[0], bytes[1], bytes[2], bytes[3]}; }

BYTE BcdDecode(BYTE byte) { return static_cast<BYTE>(byte - 6 * (byte >> 4)); }

int LitLamp(BYTE key) { return key < kLampCount ? key : -1; }

namespace {

void InsertZero(std::string& text, std::size_t position) {
    text.insert(std::min(position, text.size()), 1, '0');
}

}  // namespace

std::string ClockText(const StatusReport& report) {
    const int h = BcdDecode(report.hours);
    const int m = BcdDecode(report.minutes);
    const int s = BcdDecode(report.seconds);
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%d : %d : %d", h, m, s);
    std::string text = formatted;
    if (h < 10) InsertZero(text, 0);
    if (m < 10) InsertZero(text, 5);
    if (s < 10) InsertZero(text, 10);
    return text;
}
