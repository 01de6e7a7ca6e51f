// The four formats without a board: what is written reads back the same, and what is refused
// is refused with its line and reason.
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "image.h"

namespace {

std::optional<Image> Parse(ImageFormat format, const std::string& content, ImageError& error, int start = 0) {
    return ParseImage(format, content, start, error);
}

TEST(Formats, EachFormatReadsBackWhatItWrote) {
    const std::vector<std::uint8_t> whole = Pattern();
    const std::vector<std::uint8_t> part(whole.begin() + 0x25, whole.begin() + 0x25 + 37);
    for (ImageFormat format : {ImageFormat::Dump, ImageFormat::Text, ImageFormat::Bin, ImageFormat::Ihex}) {
        SCOPED_TRACE(FormatName(format));
        for (const auto& [start, bytes] : {std::pair{0, whole}, std::pair{0x25, part}}) {
            ImageError error;
            const auto image = Parse(format, RenderImage(format, start, bytes), error, start);
            ASSERT_TRUE(image) << error.line << ": " << error.reason;
            ASSERT_EQ(image->runs.size(), 1u);
            EXPECT_EQ(image->runs[0].address, start);
            EXPECT_EQ(image->runs[0].bytes, bytes);
        }
    }
}

TEST(Formats, TextsAreTheToolsAndTheCommonOnes) {
    const std::vector<std::uint8_t> bytes = {0x00, 0xab, 0x10, 'H', 'i'};
    EXPECT_EQ(RenderImage(ImageFormat::Text, 0, bytes), "00 ab 10 48 69 \n");
    // The ASCII column stays in place on a short line.
    EXPECT_EQ(RenderImage(ImageFormat::Dump, 0x20, bytes),
              "20: 00 ab 10 48 69 " + std::string(35, ' ') + "|...Hi|\n");
    std::vector<std::uint8_t> line(16, 0x41);
    EXPECT_EQ(RenderImage(ImageFormat::Dump, 0xf0, line),
              "f0: 41 41 41 41 41 41 41 41  41 41 41 41 41 41 41 41  |AAAAAAAAAAAAAAAA|\n");
    EXPECT_EQ(RenderImage(ImageFormat::Ihex, 0x20, bytes), ":0500200000AB1048696F\n:00000001FF\n");
}

// A segment address record (type 02) moves the data by its value times 16.
TEST(Formats, SegmentAddressesPlaceTheData) {
    ImageError error;
    const auto image = Parse(ImageFormat::Ihex, ":020000020001FB\n:01000400AB50\n:00000001FF\n", error);
    ASSERT_TRUE(image) << error.reason;
    ASSERT_EQ(image->runs.size(), 1u);
    EXPECT_EQ(image->runs[0].address, 0x14);
    EXPECT_EQ(image->runs[0].bytes, std::vector<std::uint8_t>{0xab});
}

TEST(Formats, ReadingIsLenientWhereNothingIsLost) {
    ImageError error;
    // Upper case, CRLF, a last pair without its separator, a dump without its ASCII column.
    auto hex = Parse(ImageFormat::Text, "DE ad\r\nbe-ef\r\n", error, 4);
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->runs[0].address, 4);
    EXPECT_EQ(hex->runs[0].bytes, (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
    auto dump = Parse(ImageFormat::Dump, "f0: 01 02\n\n10: 03\n", error);
    ASSERT_TRUE(dump);
    ASSERT_EQ(dump->runs.size(), 2u);
    EXPECT_EQ(dump->runs[0].address, 0x10);
    EXPECT_EQ(dump->runs[1].address, 0xf0);
    // Adjacent records make one run; extended address 0 and start records are accepted.
    auto ihex =
        Parse(ImageFormat::Ihex,
              ":020000040000FA\n:0100000011EE\n:0100010022DC\n:04000005000000F007\n:00000001FF\n", error);
    ASSERT_TRUE(ihex) << error.reason;
    ASSERT_EQ(ihex->runs.size(), 1u);
    EXPECT_EQ(ihex->runs[0].bytes, (std::vector<std::uint8_t>{0x11, 0x22}));
}

struct Refusal {
    ImageFormat format;
    std::string content;
    int start;
    int line;
    std::string reason;
};

TEST(Formats, BadFilesAreRefusedWithLineAndReason) {
    const std::vector<Refusal> refusals = {
        {ImageFormat::Text, "01 02\n03 0g 05\n", 0, 2, "column 5: 'g' is no hex digit"},
        {ImageFormat::Text, "01 02 03", 254, 0, "3 bytes at address 254 run past address 255"},
        {ImageFormat::Text, "\n\n", 0, 0, "the file holds no bytes"},
        {ImageFormat::Bin, "", 0, 0, "the file holds no bytes"},
        {ImageFormat::Bin, std::string(257, 'x'), 0, 0, "257 bytes at address 0 run past address 255"},
        {ImageFormat::Bin, "ab", 255, 0, "2 bytes at address 255 run past address 255"},
        {ImageFormat::Dump, "00: 01 02\n10: 03 4\n", 0, 2, "\"4\" is no two-digit hexadecimal byte"},
        {ImageFormat::Dump, "00: 01 02\n01: 03\n", 0, 2, "address 1 is given twice"},
        {ImageFormat::Dump, "ff: 01 02\n", 0, 1, "2 bytes at address 255 run past address 255"},
        {ImageFormat::Dump, "hello\n", 0, 1, "no address"},
        {ImageFormat::Ihex, ":0100000011EF\n:00000001FF\n", 0, 1, "bad checksum"},
        {ImageFormat::Ihex, ":0200FF001122CC\n:00000001FF\n", 0, 1,
         "2 bytes at address 255 run past address 255"},
        {ImageFormat::Ihex, ":02000004000AF0\n:0100000011EE\n:00000001FF\n", 0, 2, "run past address 255"},
        // The highest linear base there is: past any 32-bit long, refused, not wrapped round.
        {ImageFormat::Ihex, ":02000004FFFFFC\n:0100000011EE\n:00000001FF\n", 0, 2, "run past address 255"},
        {ImageFormat::Ihex, ":0100000011EE\n", 0, 1, "no end-of-file record"},
        {ImageFormat::Ihex, ":01000000G1EE\n:00000001FF\n", 0, 1, "no hex digit"},
        {ImageFormat::Ihex, "0100000011EE\n", 0, 1, "starts with ':'"},
        {ImageFormat::Ihex, ":0200000011EE\n:00000001FF\n", 0, 1, "says 2 data bytes but holds 1"},
        {ImageFormat::Ihex, ":00000001FF\n", 0, 0, "the file holds no bytes"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(std::string(FormatName(r.format)) + ": " + r.content.substr(0, 40));
        ImageError error;
        EXPECT_FALSE(Parse(r.format, r.content, error, r.start));
        EXPECT_EQ(error.line, r.line);
        EXPECT_NE(error.reason.find(r.reason), std::string::npos) << error.reason;
    }
}

// Names users already know: "hex" and ".hex" are Intel HEX, as every other programmer reads
// them; the tools' own text is "text" and ".txt".
TEST(Formats, NamesAndFileNamesSayTheFormat) {
    const std::pair<const char*, ImageFormat> paths[] = {
        {"board.bin", ImageFormat::Bin},      {"BOARD.HEX", ImageFormat::Ihex},
        {"x.ihx", ImageFormat::Ihex},         {"x.ihex", ImageFormat::Ihex},
        {"dir.bin/board", ImageFormat::Dump}, {"board.txt", ImageFormat::Text},
        {"board.dump", ImageFormat::Dump},
    };
    for (const auto& [path, format] : paths) EXPECT_EQ(FormatForPath(path), format) << path;
    const std::pair<const char*, ImageFormat> names[] = {
        {"hex", ImageFormat::Ihex},  {"ihex", ImageFormat::Ihex}, {"text", ImageFormat::Text},
        {"dump", ImageFormat::Dump}, {"bin", ImageFormat::Bin},
    };
    for (const auto& [name, format] : names) EXPECT_EQ(ParseFormatName(name), format) << name;
    EXPECT_EQ(ParseFormatName("txt"), std::nullopt);
    EXPECT_STREQ(FormatName(ImageFormat::Text), "text");
    EXPECT_STREQ(FormatName(ImageFormat::Ihex), "ihex");
}

}  // namespace
