// The PNG writer: files a PNG reader accepts (chunk CRCs, header, palette, transparency,
// scanlines), pixel art enlarged without blur, and the choice of the image to enlarge.
#include "png_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <string>

namespace {

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 |
           b[at + 3];
}

// Splits a PNG into its chunks, checking the signature, every length and CRC, and the order.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Chunks(const std::vector<std::uint8_t>& png) {
    const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(png.size() > 8 && std::equal(signature.begin(), signature.end(), png.begin()));
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> out;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = Get32(png, at);
        EXPECT_LE(at + 12 + length, png.size());
        if (at + 12 + length > png.size()) break;
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, png.data() + at + 4, length + 4));
        EXPECT_EQ(Get32(png, at + 8 + length), crc);
        out.emplace_back(std::string(png.begin() + at + 4, png.begin() + at + 8),
                         std::vector<std::uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length));
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    return out;
}

// A 2 x 2 image in 3 colours, the top right pixel masked.
constexpr std::uint32_t kPalette[3] = {0x102030, 0xFF0000, 0x00FF80};
constexpr std::uint8_t kPixels[4] = {1, 2, 0, 1};
constexpr std::uint8_t kMask[4] = {0, 1, 0, 0};
const afx::Image kImage{2, 2, 4, kPalette, kPixels, kMask};

TEST(PngFile, PaletteImageEnlargedWithMaskedPixelsTransparent) {
    const std::vector<std::uint8_t> png = hicolor::EncodePng(kImage, 3);
    const auto chunks = Chunks(png);
    ASSERT_EQ(chunks.size(), 5u);
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::uint8_t>> by;
    for (const auto& [type, data] : chunks) {
        order.push_back(type);
        by[type] = data;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));

    const auto& ihdr = by["IHDR"];
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(Get32(ihdr, 0), 6u);
    EXPECT_EQ(Get32(ihdr, 4), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(ihdr.begin() + 8, ihdr.end()),
              (std::vector<std::uint8_t>{8, 3, 0, 0, 0}));
    // The image's colours in order, then one fully transparent entry for the mask.
    EXPECT_EQ(by["PLTE"], (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0xFF, 0, 0, 0, 0xFF, 0x80, 0, 0, 0}));
    EXPECT_EQ(by["tRNS"], (std::vector<std::uint8_t>{255, 255, 255, 0}));

    std::vector<std::uint8_t> raw(6 * 7 + 16);
    uLongf size = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &size, by["IDAT"].data(), by["IDAT"].size()), Z_OK);
    ASSERT_EQ(size, 6u * 7u);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(raw[y * 7], 0) << "filter of row " << y;
        for (int x = 0; x < 6; ++x) {
            const int i = (y / 3) * 2 + x / 3;
            const int expected = kMask[i] ? 3 : kPixels[i];
            EXPECT_EQ(raw[y * 7 + 1 + x], expected) << x << "," << y;
        }
    }
}

TEST(PngFile, OpaqueImageHasNoTransparency) {
    const afx::Image opaque{2, 2, 4, kPalette, kPixels, {}};
    const auto chunks = Chunks(hicolor::EncodePng(opaque, 1));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[1].first, "PLTE");
    EXPECT_EQ(chunks[1].second.size(), 9u);
    EXPECT_EQ(chunks[2].first, "IDAT");
}

TEST(PngFile, RefusesInvalidImagesAndScales) {
    constexpr std::uint8_t kOutOfPalette[4] = {1, 2, 3, 1};
    EXPECT_TRUE(hicolor::EncodePng({2, 2, 4, kPalette, kOutOfPalette, {}}, 1).empty());
    EXPECT_TRUE(hicolor::EncodePng({2, 2, 4, kPalette, std::span(kPixels, 3), {}}, 1).empty());
    EXPECT_TRUE(hicolor::EncodePng(kImage, 0).empty());
    EXPECT_TRUE(hicolor::EncodePng(kImage, 65).empty());
    // A full 256-colour palette leaves no entry for the mask's transparency.
    static std::uint32_t full[256] = {};
    EXPECT_TRUE(hicolor::EncodePng({2, 2, 8, full, kPixels, kMask}, 1).empty());
    EXPECT_FALSE(hicolor::EncodePng({2, 2, 8, full, kPixels, {}}, 1).empty());
}

TEST(PngFile, PicksTheLargestImageThatEnlargesEvenly) {
    const std::uint8_t pixels32[32 * 32] = {};
    const std::uint8_t pixels16[16 * 16] = {};
    const afx::Image images[] = {{32, 32, 4, kPalette, pixels32, {}}, {16, 16, 4, kPalette, pixels16, {}}};
    EXPECT_EQ(hicolor::PickSource(images, 16), &images[1]);
    EXPECT_EQ(hicolor::PickSource(images, 32), &images[0]);
    EXPECT_EQ(hicolor::PickSource(images, 48), &images[1]);
    EXPECT_EQ(hicolor::PickSource(images, 256), &images[0]);
    EXPECT_EQ(hicolor::PickSource(images, 24), nullptr);
    EXPECT_EQ(hicolor::PickSource(images, 8), nullptr);
}

}  // namespace
