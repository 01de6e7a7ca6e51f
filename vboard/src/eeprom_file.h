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
// Missing leaves `data` alone. Refused (a file of another size, not a regular file, unreadable)
// says why. A symbolic link is refused unless the user named it (`named`: --eeprom); a named
// one is followed, and `path` becomes its target's, so that writes replace the target and the
// link stays.
EepromLoad LoadEepromFile(std::string& path, bool named, Eeprom& data, std::string& why);

// Replaces the file atomically, creating its directory when needed; with `sync` it is flushed
// to disk as well (see vbus::ReplaceFileAtomically).
bool SaveEepromFile(const std::string& path, const Eeprom& data, bool sync, std::string& why);

}  // namespace vboard
