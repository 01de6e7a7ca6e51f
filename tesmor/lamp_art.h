// Tesmor's lamp images, drawn by code at compile time: a green ball (bitmap 129, a lamp
// that is off) and a red ball (bitmap 130, the key the board reports), 15 x 15, 8 bits.
#pragma once

#include <afx_template.h>

#include <cstdint>

// Bitmap 129, then bitmap 130.
extern const afx::BitmapResource kLampBitmaps[2];

// The grounds behind the balls, for checks of the images.
constexpr std::uint32_t kIdleLampGround = 0xC0C0C0;    // light grey
constexpr std::uint32_t kActiveLampGround = 0xCCCCCC;  // slightly lighter grey
