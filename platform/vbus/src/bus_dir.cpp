// Names in the bus directory; the host-specific parts are in bus_dir_posix.cpp / bus_dir_win32.cpp.
#include "vbus/bus_dir.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

namespace vbus {
namespace {

std::string SlotFile(const std::string& dir, int slot, std::string_view suffix) {
    return dir + "/board-" + std::to_string(slot) + std::string(suffix);
}

// Slots N with a file board-N<suffix>, ascending.
std::vector<int> ListSlotFiles(const std::string& dir, std::string_view suffix) {
    std::vector<int> slots;
    if (!CheckBusDirectory(dir)) return slots;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        constexpr std::string_view kPrefix = "board-";
        if (name.size() <= kPrefix.size() + suffix.size() || name.rfind(kPrefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - suffix.size());
        if (digits.empty() || digits.size() > 6 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        slots.push_back(std::stoi(digits));
    }
    std::sort(slots.begin(), slots.end());
    return slots;
}

}  // namespace

std::string SocketPath(const std::string& dir, int slot) { return SlotFile(dir, slot, ".sock"); }

std::string StatePath(const std::string& dir, int slot) { return SlotFile(dir, slot, ".state"); }

std::string TcpEndpointPath(const std::string& dir, int slot) { return SlotFile(dir, slot, ".tcp"); }

std::vector<int> ListSlots(const std::string& dir) { return ListSlotFiles(dir, ".sock"); }

std::vector<int> ListTcpSlots(const std::string& dir) { return ListSlotFiles(dir, ".tcp"); }

}  // namespace vbus
