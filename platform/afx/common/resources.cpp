// The registry of the program's resource tables.
#include <afx_template.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace afx {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<const ResourceTable*> tables;  // oldest first
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;  // outlives every static registration
    return *registry;
}

template <typename T, typename Pick>
const T* Find(int id, Pick pick) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.tables.rbegin(); it != r.tables.rend(); ++it)
        for (const T& item : pick(**it))
            if (item.id == id) return &item;
    return nullptr;
}

}  // namespace

bool IsValid(const Image& image) {
    if (image.width <= 0 || image.height <= 0) return false;
    if (image.bitsPerPixel != 4 && image.bitsPerPixel != 8) return false;
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (image.pixels.size() != count) return false;
    if (!image.mask.empty() && image.mask.size() != count) return false;
    if (image.palette.empty() || image.palette.size() > (size_t{1} << image.bitsPerPixel)) return false;
    return std::all_of(image.pixels.begin(), image.pixels.end(),
                       [&](std::uint8_t p) { return p < image.palette.size(); });
}

ResourceRegistration::ResourceRegistration(const ResourceTable& table) : table_(table) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.tables.push_back(&table_);
}

ResourceRegistration::~ResourceRegistration() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.tables.erase(std::remove(r.tables.begin(), r.tables.end(), &table_), r.tables.end());
}

const char* ControlClassName(ControlClass cls) {
    switch (cls) {
        case ControlClass::Button:
            return "Button";
        case ControlClass::Edit:
            return "Edit";
        case ControlClass::Static:
            return "Static";
    }
    return "Static";
}

const DialogTemplate* FindDialog(int id) {
    return Find<DialogTemplate>(id, [](const ResourceTable& t) { return t.dialogs; });
}

const IconResource* FindIcon(int id) {
    return Find<IconResource>(id, [](const ResourceTable& t) { return t.icons; });
}

const BitmapResource* FindBitmap(int id) {
    return Find<BitmapResource>(id, [](const ResourceTable& t) { return t.bitmaps; });
}

}  // namespace afx
