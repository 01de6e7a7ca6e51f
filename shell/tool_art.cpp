#include "tool_art.h"

#include <array>
#include <cstdint>

namespace {

// The 16-colour palette of the classic Windows icons.
constexpr std::uint32_t kPalette16[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
enum : std::uint8_t {
    kBlack = 0,
    kDarkGreen = 2,
    kOlive = 3,
    kSilver = 7,
    kGrey = 8,
    kGreen = 10,
    kYellow = 11,
    kWhite = 15,
};

template <int N>
struct IconPixels {
    std::array<std::uint8_t, N * N> pixels{};
    std::array<std::uint8_t, N * N> mask{};
};

// Draws the board at size N (32 or 16): transparent corners, green board with a dark rim,
// a black chip with silver legs, a gold edge connector at the bottom and one green lamp.
template <int N>
constexpr IconPixels<N> DrawBoard() {
    IconPixels<N> icon{};
    const int s = N / 16;  // 2 at 32 x 32, 1 at 16 x 16
    auto put = [&](int x, int y, std::uint8_t colour) {
        if (x >= 0 && y >= 0 && x < N && y < N) {
            icon.pixels[y * N + x] = colour;
            icon.mask[y * N + x] = 0;
        }
    };
    for (int i = 0; i < N * N; ++i) icon.mask[i] = 1;
    // Board.
    for (int y = 1 * s; y < 14 * s; ++y)
        for (int x = 1 * s; x < 15 * s; ++x) {
            const bool rim = y < 2 * s || y >= 13 * s || x < 2 * s || x >= 14 * s;
            put(x, y, rim ? kDarkGreen : kOlive);
        }
    // Chip with legs.
    for (int y = 4 * s; y < 10 * s; ++y)
        for (int x = 5 * s; x < 11 * s; ++x) put(x, y, kBlack);
    for (int leg = 0; leg < 3; ++leg)
        for (int k = 0; k < s; ++k) {
            const int y = (5 + 2 * leg) * s + k;
            for (int x = 4 * s; x < 5 * s; ++x) put(x, y, kSilver);
            for (int x = 11 * s; x < 12 * s; ++x) put(x, y, kSilver);
        }
    put(6 * s, 5 * s, kGrey);  // pin-1 dot
    // Lamp.
    for (int y = 3 * s; y < 4 * s; ++y)
        for (int x = 12 * s; x < 13 * s; ++x) put(x, y, kGreen);
    // Edge connector.
    for (int y = 14 * s; y < 16 * s; ++y)
        for (int x = 3 * s; x < 13 * s; ++x) put(x, y, (x / s) % 2 ? kYellow : kWhite);
    return icon;
}

constexpr IconPixels<32> kLarge = DrawBoard<32>();
constexpr IconPixels<16> kSmall = DrawBoard<16>();

const afx::Image kToolIconImages[] = {
    {32, 32, 4, kPalette16, kLarge.pixels, kLarge.mask},
    {16, 16, 4, kPalette16, kSmall.pixels, kSmall.mask},
};

}  // namespace

const afx::IconResource kToolIcon{128, kToolIconImages};

const char kOwnershipNotice[] = "(C) 2026 Varnel and Tesmor";
