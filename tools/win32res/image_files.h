// Icon (.ico) and bitmap (.bmp) files from the framework's palette images, as a resource
// compiler reads them.
#pragma once

#include <afx_template.h>

#include <cstdint>
#include <span>
#include <vector>

namespace win32res {

// An icon file holding every image (4 or 8 bits per pixel, with its AND mask). Masked
// pixels are black in the colour part; black is added to the palette when it lacks one
// and has room. Empty when an image is invalid or a palette has no room for black.
std::vector<std::uint8_t> EncodeIcon(std::span<const afx::Image> images);

// A bitmap file (bottom-up, the image's bits per pixel, its palette); empty when invalid.
std::vector<std::uint8_t> EncodeBitmap(const afx::Image& image);

}  // namespace win32res
