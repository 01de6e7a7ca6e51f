#include "images.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace afx::qt {
namespace {

struct IconObject {
    int id;
    std::vector<QImage> images;
};

// Bitmap handles are numbers that are never reused, so a stale handle
// (deleted twice, or kept after deletion) never names a newer bitmap.
struct Store {
    std::mutex mutex;
    std::map<int, std::unique_ptr<IconObject>> icons;
    std::map<HBITMAP, QImage> bitmaps;
    std::uintptr_t nextBitmap = 0x20000;
};

Store& TheStore() {
    static Store* store = new Store;  // lives as long as the process, as the handles do
    return *store;
}

}  // namespace

QImage ToQImage(const afx::Image& image) {
    if (!afx::IsValid(image)) return QImage();
    QImage out(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const size_t i =
                static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x);
            const bool transparent = !image.mask.empty() && image.mask[i] != 0;
            row[x] = transparent ? qRgba(0, 0, 0, 0)
                                 : (0xFF000000u | (image.palette[image.pixels[i]] & 0xFFFFFFu));
        }
    }
    return out;
}

HICON LoadIconResource(int id) {
    const afx::IconResource* res = afx::FindIcon(id);
    if (!res) return nullptr;
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    auto& slot = s.icons[id];
    if (!slot) {
        slot = std::make_unique<IconObject>(IconObject{id, {}});
        for (const afx::Image& image : res->images)
            if (QImage q = ToQImage(image); !q.isNull()) slot->images.push_back(q);
    }
    return reinterpret_cast<HICON>(slot.get());
}

HBITMAP LoadBitmapResource(int id) {
    const afx::BitmapResource* res = afx::FindBitmap(id);
    if (!res) return nullptr;
    QImage image = ToQImage(res->image);
    if (image.isNull()) return nullptr;
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.nextBitmap += 4;
    const auto handle = reinterpret_cast<HBITMAP>(s.nextBitmap);
    s.bitmaps.emplace(handle, image);
    return handle;
}

bool DeleteBitmapObject(HBITMAP bitmap) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.bitmaps.erase(bitmap) > 0;
}

QImage BitmapImage(HBITMAP bitmap) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    auto it = s.bitmaps.find(bitmap);
    return it == s.bitmaps.end() ? QImage() : it->second;
}

QImage IconImage(HICON icon, int size) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    for (const auto& [id, object] : s.icons) {
        if (reinterpret_cast<HICON>(object.get()) != icon) continue;
        const QImage* best = nullptr;
        for (const QImage& image : object->images)
            if (!best || std::abs(image.width() - size) < std::abs(best->width() - size)) best = &image;
        return best ? *best : QImage();
    }
    return QImage();
}

}  // namespace afx::qt
