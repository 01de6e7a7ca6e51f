#include "window_table.h"

#include <algorithm>
#include <mutex>

namespace afx::win32 {
namespace {

struct Table {
    std::mutex mutex;
    std::vector<std::shared_ptr<DialogRecord>> dialogs;  // oldest first
};

// Lives as long as the process: workers may still call while static objects are destroyed.
Table& TheTable() {
    static Table* table = new Table;
    return *table;
}

}  // namespace

void AddDialogRecord(std::shared_ptr<DialogRecord> record) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.dialogs.push_back(std::move(record));
}

void RemoveDialogRecord(HWND dialog) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    std::erase_if(t.dialogs, [&](const auto& r) { return r->hwnd == dialog; });
}

std::shared_ptr<DialogRecord> FindDialogRecord(HWND dialog) {
    if (!dialog) return nullptr;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it =
        std::find_if(t.dialogs.begin(), t.dialogs.end(), [&](const auto& r) { return r->hwnd == dialog; });
    return it == t.dialogs.end() ? nullptr : *it;
}

std::vector<HWND> OpenDialogs() {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    std::vector<HWND> out;
    for (const auto& r : t.dialogs) out.push_back(r->hwnd);
    return out;
}

}  // namespace afx::win32
