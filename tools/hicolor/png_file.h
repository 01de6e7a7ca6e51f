// PNG files from the framework's palette images, for the icons of the Linux packages.
#pragma once

#include <afx_template.h>

#include <cstdint>
#include <span>
#include <vector>

namespace hicolor {

// The image enlarged `scale` times (each pixel a scale x scale square, as pixel art is
// enlarged) as a PNG file: 8-bit palette, the image's colours in their order, masked
// pixels one more palette entry that is fully transparent. Empty when the image is
// invalid or the scale is not 1 to 64.
std::vector<std::uint8_t> EncodePng(const afx::Image& image, int scale);

// The image to draw an icon of `size` x `size` pixels from: the largest of the icon's
// square images whose side divides `size`, so that it enlarges without blur; nullptr
// when none does.
const afx::Image* PickSource(std::span<const afx::Image> images, int size);

}  // namespace hicolor
