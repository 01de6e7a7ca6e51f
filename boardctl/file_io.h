// Reading the files boardctl is given and writing the ones it makes.
#pragma once

#include <string>

// The whole file; throws CommandError (usage) when it cannot be read or is far too large for
// an EEPROM image.
std::string ReadInputFile(const std::string& path);

// Replaces `path` with `content` as a whole: written beside it under another name first, then
// renamed, so that a failure leaves the old file (or none) and never half a new one. Throws
// CommandError (usage) when that fails. A path that is no regular file (a device, a pipe) is
// written directly.
void ReplaceOutputFile(const std::string& path, const std::string& content);
