// The file that keeps a board's EEPROM across runs.
#pragma once

#include <string>

#include "vboard/types.h"

namespace vboard {

// $XDG_DATA_HOME/vboard/board-N.eeprom, else ~/.local/share/vboard/board-N.eeprom; empty when
// neither variable is set.
std::string DefaultEepromPath(int slot);

enum class EepromLoad { Loaded, Missing, Refused };

// Removes what writes of a killed board left beside the file first.
// Missing leaves `data` alone. Refused (a file of another size, a directory, unreadable) says why.
EepromLoad LoadEepromFile(const std::string& path, Eeprom& data, std::string& why);

// Replaces the file atomically, creating its directory when needed.
bool SaveEepromFile(const std::string& path, const Eeprom& data, std::string& why);

}  // namespace vboard
