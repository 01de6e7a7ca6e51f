// Icons and bitmaps of the program's resources as Qt images.
#pragma once

#include <afx_template.h>

#include <QImage>
#include <QPixmap>

namespace afx::qt {

QImage ToQImage(const afx::Image& image);  // null for an invalid image

HICON LoadIconResource(int id);           // shared per id, never freed
HBITMAP LoadBitmapResource(int id);       // a new object per call
bool DeleteBitmapObject(HBITMAP bitmap);  // false for a handle that is not a live bitmap

// Copies of the images; null when the handle names nothing live.
QImage BitmapImage(HBITMAP bitmap);
QImage IconImage(HICON icon, int size);  // the image closest to size x size

}  // namespace afx::qt
