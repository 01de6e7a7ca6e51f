#include "lamp_art.h"

#include <array>

namespace {

constexpr int kSize = 15;

// Palette slots: the ground, six shades of the ball from the lit side to the far rim, and
// a glint.
enum : std::uint8_t { kGround = 0, kBrightest = 1, kDarkest = 6, kGlint = 7 };

// A ball lit from the upper left: the shade grows with the distance from the light spot.
constexpr std::array<std::uint8_t, kSize * kSize> DrawBall() {
    std::array<std::uint8_t, kSize * kSize> pixels{};
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            // Doubled coordinates about the centre (7, 7); the radius is 6.5 pixels.
            const int dx = 2 * x - (kSize - 1), dy = 2 * y - (kSize - 1);
            std::uint8_t colour = kGround;
            if (dx * dx + dy * dy <= 13 * 13) {
                const int lx = x - 5, ly = y - 5;
                const int d2 = lx * lx + ly * ly;
                if (d2 <= 1) {
                    colour = kGlint;
                } else {
                    const int shade = kBrightest + d2 / 14;
                    colour = static_cast<std::uint8_t>(shade > kDarkest ? kDarkest : shade);
                }
            }
            pixels[static_cast<std::size_t>(y * kSize + x)] = colour;
        }
    return pixels;
}

constexpr auto kBall = DrawBall();

constexpr std::uint32_t kGreenPalette[] = {
    kIdleLampGround, 0x70F070, 0x48DC48, 0x28C428, 0x14A814, 0x0A8C0A, 0x066A06, 0xE0FFE0,
};
constexpr std::uint32_t kRedPalette[] = {
    kActiveLampGround, 0xFF7070, 0xF04848, 0xDC2828, 0xC01414, 0x9C0A0A, 0x780606, 0xFFE0E0,
};

}  // namespace

const afx::BitmapResource kLampBitmaps[2] = {
    {129, {.width = kSize, .height = kSize, .bitsPerPixel = 8, .palette = kGreenPalette, .pixels = kBall}},
    {130, {.width = kSize, .height = kSize, .bitsPerPixel = 8, .palette = kRedPalette, .pixels = kBall}},
};
