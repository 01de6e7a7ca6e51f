#include "status_report.h"

#include <gtest/gtest.h>

namespace {

StatusReport Clock(BYTE hours, BYTE minutes, BYTE seconds) { return {0xFF, seconds, minutes, hours}; }

TEST(BcdDecode, ValidBytesGiveTensAndUnits) {
    EXPECT_EQ(BcdDecode(0x00), 0);
    EXPECT_EQ(BcdDecode(0x09), 9);
    EXPECT_EQ(BcdDecode(0x10), 10);
    EXPECT_EQ(BcdDecode(0x23), 23);
    EXPECT_EQ(BcdDecode(0x59), 59);
    EXPECT_EQ(BcdDecode(0x99), 99);
}

TEST(BcdDecode, OtherBytesFollowTheSameFormula) {
    EXPECT_EQ(BcdDecode(0xFF), 165);
    EXPECT_EQ(BcdDecode(0x0A), 10);
    EXPECT_EQ(BcdDecode(0xA0), 100);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(BcdDecode(static_cast<BYTE>(b)), (b - 6 * (b >> 4)) & 0xFF) << b;
}

TEST(ClockText, TwoDigitsForEveryField) {
    EXPECT_EQ(ClockText({0x02, 0x05, 0x30, 0x09}), "09 : 30 : 05");
    EXPECT_EQ(ClockText(Clock(0x23, 0x59, 0x59)), "23 : 59 : 59");
    EXPECT_EQ(ClockText(Clock(0x00, 0x00, 0x00)), "00 : 00 : 00");
    EXPECT_EQ(ClockText(Clock(0x10, 0x01, 0x10)), "10 : 01 : 10");
    EXPECT_EQ(ClockText(Clock(0x01, 0x10, 0x01)), "01 : 10 : 01");
}

// A non-BCD byte decodes to more than 99 and prints with three digits; the zeros still go
// in at 0, 5 and 10, so the later ones land inside the text.
TEST(ClockText, ThreeDigitValuesKeepTheInsertPositions) {
    EXPECT_EQ(ClockText(Clock(0xFF, 0x30, 0x05)), "165 : 30 :0 5");
    EXPECT_EQ(ClockText(Clock(0xFF, 0x05, 0x30)), "165 :0 5 : 30");
    EXPECT_EQ(ClockText(Clock(0x09, 0xFF, 0x05)), "09 : 165 :0 5");
    EXPECT_EQ(ClockText(Clock(0x12, 0x34, 0xFF)), "12 : 34 : 165");
    EXPECT_EQ(ClockText(Clock(0x00, 0x00, 0xFF)), "00 : 00 : 165");
}

TEST(StatusReport, KeysZeroToSevenLightOneLampOthersNone) {
    for (int key = 0; key < 8; ++key) EXPECT_EQ(LitLamp(static_cast<BYTE>(key)), key);
    for (int key : {8, 9, 0x7F, 0x80, 0xFF}) EXPECT_EQ(LitLamp(static_cast<BYTE>(key)), -1) << key;
}

TEST(StatusReport, FieldsInWireOrder) {
    const BYTE bytes[] = {0x02, 0x05, 0x30, 0x09, 0xEE};
    const StatusReport r = StatusReportFrom(bytes);
    EXPECT_EQ(r.key, 0x02);
    EXPECT_EQ(r.seconds, 0x05);
    EXPECT_EQ(r.minutes, 0x30);
    EXPECT_EQ(r.hours, 0x09);
}

}  // namespace
