#include "eeprom_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "vbus/bus_dir.h"

namespace vboard {

namespace fs = std::filesystem;

std::string DefaultEepromPath(int slot) {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return base + "/vboard/board-" + std::to_string(slot) + ".eeprom";
}

EepromLoad LoadEepromFile(std::string& path, bool named, Eeprom& data, std::string& why) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        if (!named) {
            why = "EEPROM file " + path +
                  " is a symbolic link; refusing to write through it (name it with --eeprom to use it)";
            return EepromLoad::Refused;
        }
        const fs::path target = fs::weakly_canonical(path, ec);
        if (ec) {
            why = "cannot follow the EEPROM file's link " + path + ": " + ec.message();
            return EepromLoad::Refused;
        }
        path = target.string();
    }
    vbus::RemoveStaleTemporaries(path);  // of a board killed while it wrote
    const auto status = fs::symlink_status(path, ec);
    if (ec || status.type() == fs::file_type::not_found) return EepromLoad::Missing;
    if (status.type() != fs::file_type::regular) {
        why = "EEPROM file " + path + " is not a regular file";
        return EepromLoad::Refused;
    }
    const auto size = fs::file_size(path, ec);
    if (ec || size != data.size()) {
        why = "EEPROM file " + path + " has " +
              (ec ? std::string("an unknown number of") : std::to_string(size)) + " bytes, not " +
              std::to_string(data.size()) + "; refusing to use it (it is left as it is)";
        return EepromLoad::Refused;
    }
    std::ifstream in(path, std::ios::binary);
    Eeprom loaded{};
    if (!in.read(reinterpret_cast<char*>(loaded.data()), static_cast<std::streamsize>(loaded.size()))) {
        why = "cannot read EEPROM file " + path;
        return EepromLoad::Refused;
    }
    data = loaded;
    return EepromLoad::Loaded;
}

bool SaveEepromFile(const std::string& path, const Eeprom& data, bool sync, std::string& why) {
    std::error_code ec;
    const auto parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    if (!vbus::ReplaceFileAtomically(path, std::string(data.begin(), data.end()), sync)) {
        why = "cannot replace EEPROM file " + path;
        return false;
    }
    return true;
}

}  // namespace vboard
