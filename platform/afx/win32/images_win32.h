// Icons and bitmaps: from the program's own resources (the .rc the Windows build links
// in), or else made from the registered afx::Image data, so that a program without a
// resource script (the tests) shows the same images.
#pragma once

#include <afx_template.h>

namespace afx::win32 {

// Icon resource by number, shared per id and never freed; nullptr when missing.
HICON LoadIconResource(int id);
// A new bitmap object per call, owned by the caller; nullptr when missing.
HBITMAP LoadBitmapResource(int id);

// A device-independent bitmap with the image's colours (24 bits); nullptr if invalid.
HBITMAP BitmapFromImage(const afx::Image& image);
// An icon from the image closest to size x size, with its transparency mask.
HICON IconFromImages(std::span<const afx::Image> images, int size);

}  // namespace afx::win32
