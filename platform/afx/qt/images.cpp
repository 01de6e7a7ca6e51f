#include "images.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace afx::qt {
namespace {

struct IconObject {
    int id;
    std::vector<QImage> images;
};

struct BitmapObject {
    int id;
    QImage image;
};

struct Store {
    std::mutex mutex;
    std::map<int, std::unique_ptr<IconObject>> icons;
    std::set<BitmapObject*> bitmaps;
};

Store& TheStore() {
    static Store store;
    return store;
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
    auto* object = new BitmapObject{id, image};
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.bitmaps.insert(object);
    return reinterpret_cast<HBITMAP>(object);
}

bool DeleteBitmapObject(HBITMAP bitmap) {
    auto* object = reinterpret_cast<BitmapObject*>(bitmap);
    Store& s = TheStore();
    {
        std::lock_guard lock(s.mutex);
        if (!s.bitmaps.erase(object)) return false;
    }
    delete object;
    return true;
}

QImage BitmapImage(HBITMAP bitmap) {
    auto* object = reinterpret_cast<BitmapObject*>(bitmap);
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.bitmaps.count(object) ? object->image : QImage();
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
