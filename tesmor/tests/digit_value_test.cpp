#include "digit_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// GBK bytes of "数" (0xCA 0xFD), which is no hexadecimal digit and counts 2.
const std::string kChineseChar = "\xCA\xFD";

TEST(DigitValue, ShortValuesArePaddedWithLeadingZeros) {
    DigitRecord digits{};
    ASSERT_EQ(ParseDigitValue("1A", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{0, 0, 0, 0, 0, 0, 1, 10}));
    ASSERT_EQ(ParseDigitValue("f", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{0, 0, 0, 0, 0, 0, 0, 15}));
}

TEST(DigitValue, EightDigitsAreSentUnchanged) {
    DigitRecord digits{};
    ASSERT_EQ(ParseDigitValue("ABCDEF12", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{10, 11, 12, 13, 14, 15, 1, 2}));
    ASSERT_EQ(ParseDigitValue("abcdef09", digits), DigitValueCheck::Ok);
    EXPECT_EQ(digits, (DigitRecord{10, 11, 12, 13, 14, 15, 0, 9}));
}

// A refused value leaves the record as it was, also when its first characters were digits.
TEST(DigitValue, RefusalsInOrderAndRecordUntouched) {
    const DigitRecord before{1, 2, 3, 4, 5, 6, 7, 8};
    DigitRecord digits = before;
    EXPECT_EQ(ParseDigitValue("ABCDEF123", digits), DigitValueCheck::TooLong);
    EXPECT_EQ(ParseDigitValue("12G4", digits), DigitValueCheck::NotHex);
    EXPECT_EQ(ParseDigitValue("", digits), DigitValueCheck::Empty);
    EXPECT_EQ(ParseDigitValue("12 4", digits), DigitValueCheck::NotHex);
    EXPECT_EQ(ParseDigitValue("0x12", digits), DigitValueCheck::NotHex);
    EXPECT_EQ(ParseDigitValue("GGGGGGGGG", digits), DigitValueCheck::TooLong);  // length first
    EXPECT_EQ(digits, before);
}

TEST(DigitValue, LengthIsCountedInGbkBytes) {
    DigitRecord digits{};
    std::string four, five;
    for (int i = 0; i < 4; ++i) four += kChineseChar;
    five = four + kChineseChar;
    EXPECT_EQ(ParseDigitValue(four, digits), DigitValueCheck::NotHex);   // 8 bytes: long enough
    EXPECT_EQ(ParseDigitValue(five, digits), DigitValueCheck::TooLong);  // 10 bytes
    EXPECT_EQ(ParseDigitValue("1234567" + kChineseChar, digits), DigitValueCheck::TooLong);  // 9 bytes
    EXPECT_EQ(ParseDigitValue("123456" + kChineseChar, digits), DigitValueCheck::NotHex);    // 8 bytes
}

}  // namespace
