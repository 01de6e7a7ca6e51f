// Reading the files boardctl is given and writing the ones it makes. File names are UTF-8 (on
// Windows they are opened by their UTF-16 names, so any name works whatever the code page).
#pragma once

#include <string>

// The whole file; throws CommandError (usage) when it cannot be read or is far too large for
// an EEPROM image.
std::string ReadInputFile(const std::string& path);

// Replaces `path` with `content` as a whole: written beside it under a name of boardctl's own
// first (a new file, never one that exists or a link), then renamed, so that a failure leaves
// the old file (or none) and never half a new one. A link the user names is followed: its
// target is replaced. A path that is no regular file (a device, a pipe) is written directly.
// Throws CommandError (usage) when that fails.
void ReplaceOutputFile(const std::string& path, const std::string& content);

// The platform's part (file_io_posix.cpp, file_io_win32.cpp).
namespace files {

enum class Kind { None, Regular, Link, Other };
Kind KindOf(const std::string& path);
// The file a link leads to, links resolved; empty when it cannot be resolved.
std::string Resolve(const std::string& path);
// The whole content, or false.
bool ReadAll(const std::string& path, std::string& content, std::size_t limit, bool& tooLarge);
// `content` into a file that exists (a device or a pipe), as it is.
bool WriteInPlace(const std::string& path, const std::string& content);
enum class Created { Yes, NameTaken, Failed };
// A new file at `path` holding `content`; NameTaken when anything is there already. A file it
// made and could not fill is removed.
Created CreateNew(const std::string& path, const std::string& content);
// `from` over `to`, replacing it.
bool Rename(const std::string& from, const std::string& to, std::string& why);
// Removes a file of boardctl's own making.
void Remove(const std::string& path);

}  // namespace files
