#include "file_io.h"

#include <random>

#include "exit_codes.h"

namespace {

// No EEPROM image in any of the formats comes near this.
constexpr std::size_t kLargestInput = 1 << 20;

// ".NAME.boardctl-" and 16 hexadecimal digits, in the folder of `path`.
std::string TemporaryName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    static std::mt19937_64 random{std::random_device{}()};
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
    return path.substr(0, nameAt) + "." + path.substr(nameAt) + ".boardctl-" + digits;
}

}  // namespace

std::string ReadInputFile(const std::string& path) {
    std::string content;
    bool tooLarge = false;
    if (!files::ReadAll(path, content, kLargestInput, tooLarge))
        throw CommandError(kExitUsage,
                           path + (tooLarge ? ": far too large for an EEPROM image" : ": cannot be read"));
    return content;
}

void ReplaceOutputFile(const std::string& path, const std::string& content) {
    std::string target = path;
    files::Kind kind = files::KindOf(path);
    if (kind == files::Kind::Link) {
        target = files::Resolve(path);
        if (target.empty()) throw CommandError(kExitUsage, path + ": a link that leads nowhere");
        kind = files::KindOf(target);
    }
    // A device or pipe (/dev/null, a FIFO, NUL) is written as it is: it cannot be replaced.
    if (kind == files::Kind::Other) {
        if (!files::WriteInPlace(target, content))
            throw CommandError(kExitUsage, path + ": cannot be written");
        return;
    }
    std::string partial;
    files::Created created = files::Created::NameTaken;
    for (int attempt = 0; attempt < 16 && created == files::Created::NameTaken; ++attempt)
        created = files::CreateNew(partial = TemporaryName(target), content);
    if (created != files::Created::Yes) throw CommandError(kExitUsage, path + ": cannot be written");
    std::string why;
    if (!files::Rename(partial, target, why)) {
        files::Remove(partial);
        throw CommandError(kExitUsage, path + ": cannot be written (" + why + ")");
    }
}
