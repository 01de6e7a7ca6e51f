// The bus directory on Windows: its default place, its creation, atomic file replacement.
// The test build of the tools is given the directory in VBOARD_BUS (a path to the board bus of
// the host the virtual boards run on).
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "vbus/bus_dir.h"

namespace vbus {

std::string DefaultBusDirectory() {
    if (const char* bus = std::getenv("VBOARD_BUS"); bus && *bus) return bus;
    std::error_code ec;
    const auto temp = std::filesystem::temp_directory_path(ec);
    return ((ec ? std::filesystem::path(".") : temp) / "vboard-bus").string();
}

// Windows keeps no owner and mode bits that these checks could read: any directory will do.
bool CheckBusDirectory(const std::string& dir, std::string* why) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return true;
    if (why) *why = "the bus directory " + dir + " does not exist";
    return false;
}

bool EnsureBusDirectory(const std::string& dir, std::string* why) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) std::filesystem::create_directories(dir, ec);
    if (std::filesystem::is_directory(dir, ec)) return true;
    if (why) *why = "cannot create the bus directory " + dir;
    return false;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    const std::string tmp = path + ".tmp" + std::to_string(::GetCurrentProcessId());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            ::DeleteFileA(tmp.c_str());
            return false;
        }
    }
    if (!::MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace vbus
