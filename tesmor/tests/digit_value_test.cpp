#include "digit_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DigitValue, PaddedWithLeadingZerosOneDigitPerByte) {
    DigitRecord digits{};
    ASSERT_EQ(ParseDigitValue("1A", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{0, 0, 0, 0, 0, 0, 1, 10}));
    ASSERT_EQ(ParseDigitValue("abcDEF12", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{10, 11, 12, 13, 14, 15, 1, 2}));
}

// A refused value leaves the record as it was, also when its first characters were digits.
TEST(DigitValue, RefusalsInOrderLeaveTheRecord) {
    const DigitRecord before{1, 2, 3, 4, 5, 6, 7, 8};
    DigitRecord digits = before;
    EXPECT_EQ(ParseDigitValue("ABCDEF123", digits), DigitValueCheck::TooLong);
    EXPECT_EQ(ParseDigitValue("GGGGGGGGG", digits), DigitValueCheck::TooLong);  // length first
    EXPECT_EQ(ParseDigitValue("", digits), DigitValueCheck::Empty);
    EXPECT_EQ(ParseDigitValue("12G4", digits), DigitValueCheck::NotHex);
    EXPECT_EQ(ParseDigitValue("1234567 ", digits), DigitValueCheck::NotHex);
    EXPECT_EQ(digits, before);
}

// Lengths are GBK bytes: "数" (0xCA 0xFD) counts 2.
TEST(DigitValue, LengthIsCountedInBytes) {
    const std::string zh = "\xCA\xFD";
    DigitRecord digits{};
    EXPECT_EQ(ParseDigitValue(zh + zh + zh + zh, digits), DigitValueCheck::NotHex);        // 8 bytes
    EXPECT_EQ(ParseDigitValue(zh + zh + zh + zh + zh, digits), DigitValueCheck::TooLong);  // 10 bytes
    EXPECT_EQ(ParseDigitValue("1234567" + zh, digits), DigitValueCheck::TooLong);          // 9 bytes
}

}  // namespace
