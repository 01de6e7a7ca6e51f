#include "hex_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hex_digit.h"

namespace {

TEST(HexDigitValue, AcceptsBothCasesAndRejectsEverythingElse) {
    unsigned char v = 99;
    EXPECT_EQ(HexDigitValue('0', v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(HexDigitValue('9', v), 0);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(HexDigitValue('a', v), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(HexDigitValue('F', v), 0);
    EXPECT_EQ(v, 15);
    for (char c : {'g', 'G', ' ', '/', ':', '@', '`', '\0', '\xb4'}) {
        v = 77;
        EXPECT_EQ(HexDigitValue(c, v), 1) << int(c);
        EXPECT_EQ(v, 77) << "a rejected character must not change the value";
    }
}

TEST(ParseHexByteText, ReadsPairsWithOrWithoutTrailingSeparator) {
    unsigned char a[3] = {}, b[3] = {};
    EXPECT_EQ(ParseHexByteText("01 aB FF", a, 3, 1), 0);
    EXPECT_EQ(ParseHexByteText("01 aB FF ", b, 3, 1), 0);
    EXPECT_EQ(0, std::memcmp(a, b, 3));
    EXPECT_EQ(a[0], 0x01);
    EXPECT_EQ(a[1], 0xab);
    EXPECT_EQ(a[2], 0xff);
    // The separator byte is skipped unseen.
    EXPECT_EQ(ParseHexByteText("01-02", a, 2, 1), 0);
    EXPECT_EQ(a[1], 0x02);
    // Unseparated text advances by two.
    EXPECT_EQ(ParseHexByteText("0102", a, 2, 0), 0);
    EXPECT_EQ(a[1], 0x02);
}

TEST(ParseHexByteText, FailsOnABadDigitAnywhereAndKeepsEarlierBytes) {
    unsigned char out[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(ParseHexByteText("12 0g 34", out, 3, 1), 1);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], 0xEE);
    EXPECT_EQ(ParseHexByteText("g0", out, 1, 1), 1);
    // Count 0 stores nothing, whatever the text.
    unsigned char untouched = 0x5A;
    EXPECT_EQ(ParseHexByteText("zz", &untouched, 0, 1), 0);
    EXPECT_EQ(untouched, 0x5A);
}

TEST(ParseHexByteText, StopsAtTheEndOfTheTextInsteadOfReadingPastIt) {
    // A count larger than the text holds ends at the NUL, with no read past it (ASan would see it).
    const char* text = new char[3]{'0', '1', '\0'};
    unsigned char out[4] = {};
    EXPECT_EQ(ParseHexByteText(text, out, 4, 1), 1);
    EXPECT_EQ(out[0], 0x01);
    delete[] text;
    const char* odd = new char[2]{'7', '\0'};
    EXPECT_EQ(ParseHexByteText(odd, out, 1, 1), 1);
    delete[] odd;
}

TEST(FormatHexBytes, LowercaseTwoDigitsAndASpaceEach) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x10, 0x0f};
    EXPECT_EQ(FormatHexBytes(bytes, 4), "00 ab 10 0f ");
    EXPECT_EQ(FormatHexBytes(bytes, 0), "");
}

TEST(HexText, EveryByteSurvivesFormatThenParse) {
    unsigned char all[256], back[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
    const std::string text = FormatHexBytes(all, 256);
    ASSERT_EQ(text.size(), 768u);
    EXPECT_EQ(ParseHexByteText(text.c_str(), back, 256, 1), 0);
    EXPECT_EQ(0, std::memcmp(all, back, 256));
}

}  // namespace
