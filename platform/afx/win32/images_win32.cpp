#include "images_win32.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace afx::win32 {
namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

// A top-down 24-bit DIB section filled by pixel(x, y) -> 0x00RRGGBB.
template <typename Pixel>
HBITMAP MakeDib(int width, int height, Pixel pixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return nullptr;
    const int stride = (width * 3 + 3) & ~3;
    auto* row = static_cast<BYTE*>(bits);
    for (int y = 0; y < height; ++y, row += stride)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = pixel(x, y);
            row[x * 3 + 0] = static_cast<BYTE>(rgb);
            row[x * 3 + 1] = static_cast<BYTE>(rgb >> 8);
            row[x * 3 + 2] = static_cast<BYTE>(rgb >> 16);
        }
    GdiFlush();
    return bitmap;
}

// A monochrome mask, 1 = transparent; CreateBitmap wants rows padded to 16 bits.
HBITMAP MakeMask(const afx::Image& image) {
    const int stride = ((image.width + 15) / 16) * 2;
    std::vector<BYTE> bits(static_cast<size_t>(stride * image.height), 0);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const size_t i = static_cast<size_t>(y * image.width + x);
            if (!image.mask.empty() && image.mask[i])
                bits[static_cast<size_t>(y * stride + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    return CreateBitmap(image.width, image.height, 1, 1, bits.data());
}

struct IconCache {
    std::mutex mutex;
    std::map<int, HICON> icons;
};

IconCache& Icons() {
    static IconCache* cache = new IconCache;  // icons live as long as the process
    return *cache;
}

}  // namespace

HBITMAP BitmapFromImage(const afx::Image& image) {
    if (!afx::IsValid(image)) return nullptr;
    return MakeDib(image.width, image.height, [&](int x, int y) {
        return image.palette[image.pixels[static_cast<size_t>(y * image.width + x)]];
    });
}

HICON IconFromImages(std::span<const afx::Image> images, int size) {
    const afx::Image* best = nullptr;
    for (const afx::Image& image : images)
        if (afx::IsValid(image) && (!best || std::abs(image.width - size) < std::abs(best->width - size)))
            best = &image;
    if (!best) return nullptr;
    const afx::Image& image = *best;
    // Transparent pixels are black in the colour part, so that the mask alone decides.
    HBITMAP colour = MakeDib(image.width, image.height, [&](int x, int y) -> std::uint32_t {
        const size_t i = static_cast<size_t>(y * image.width + x);
        if (!image.mask.empty() && image.mask[i]) return 0;
        return image.palette[image.pixels[i]];
    });
    HBITMAP mask = MakeMask(image);
    HICON icon = nullptr;
    if (colour && mask) {
        ICONINFO info{TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&info);
    }
    if (colour) DeleteObject(colour);
    if (mask) DeleteObject(mask);
    return icon;
}

HICON LoadIconResource(int id) {
    IconCache& cache = Icons();
    std::lock_guard lock(cache.mutex);
    if (auto it = cache.icons.find(id); it != cache.icons.end()) return it->second;
    auto icon = static_cast<HICON>(
        LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!icon)
        if (const afx::IconResource* res = afx::FindIcon(id))
            icon = IconFromImages(res->images, GetSystemMetrics(SM_CXICON));
    if (icon) cache.icons.emplace(id, icon);
    return icon;
}

HBITMAP LoadBitmapResource(int id) {
    if (HBITMAP bitmap = LoadBitmapW(Module(), MAKEINTRESOURCEW(id))) return bitmap;
    const afx::BitmapResource* res = afx::FindBitmap(id);
    return res ? BitmapFromImage(res->image) : nullptr;
}

}  // namespace afx::win32
