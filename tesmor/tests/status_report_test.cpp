#include "status_report.h"

#include <gtest/gtest.h>

namespace {

StatusReport Clock(BYTE hours, BYTE minutes, BYTE seconds) { return {0xFF, seconds, minutes, hours}; }

TEST(StatusReport, FieldsLampAndClockText) {
    const BYTE bytes[] = {0x02, 0x05, 0x30, 0x09};
    const StatusReport r = StatusReportFrom(bytes);
    EXPECT_EQ(LitLamp(r.key), 2);
    EXPECT_EQ(ClockText(r), "09 : 30 : 05");
    EXPECT_EQ(ClockText(Clock(0x23, 0x59, 0x59)), "23 : 59 : 59");
    EXPECT_EQ(ClockText(Clock(0x00, 0x00, 0x00)), "00 : 00 : 00");
    EXPECT_EQ(ClockText(Clock(0x10, 0x01, 0x10)), "10 : 01 : 10");
}

TEST(StatusReport, KeysEightAndAboveLightNoLamp) {
    EXPECT_EQ(LitLamp(0), 0);
    EXPECT_EQ(LitLamp(7), 7);
    for (int key : {8, 0x7F, 0x80, 0xFF}) EXPECT_EQ(LitLamp(static_cast<BYTE>(key)), -1) << key;
}

TEST(StatusReport, BcdDecode) {
    EXPECT_EQ(BcdDecode(0x00), 0);
    EXPECT_EQ(BcdDecode(0x09), 9);
    EXPECT_EQ(BcdDecode(0x59), 59);
    EXPECT_EQ(BcdDecode(0x99), 99);
    EXPECT_EQ(BcdDecode(0xFF), 165);  // not BCD
    EXPECT_EQ(BcdDecode(0xA0), 100);
}

// A non-BCD byte prints with three digits; the zeros still go in at 0, 5 and 10, so the
// later ones land inside the text.
TEST(StatusReport, ThreeDigitValuesKeepTheInsertPositions) {
    EXPECT_EQ(ClockText(Clock(0xFF, 0x30, 0x05)), "165 : 30 :0 5");
    EXPECT_EQ(ClockText(Clock(0xFF, 0x05, 0x30)), "165 :0 5 : 30");
    EXPECT_EQ(ClockText(Clock(0x00, 0x00, 0xFF)), "00 : 00 : 165");
}

}  // namespace
