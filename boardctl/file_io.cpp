#include "file_io.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "exit_codes.h"

namespace {

// No EEPROM image in any of the formats comes near this.
constexpr std::size_t kLargestInput = 1 << 20;

}  // namespace

std::string ReadInputFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CommandError(kExitUsage, path + ": cannot be read");
    std::string content;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        content.append(block, static_cast<std::size_t>(in.gcount()));
        if (content.size() > kLargestInput)
            throw CommandError(kExitUsage, path + ": far too large for an EEPROM image");
    }
    if (in.bad()) throw CommandError(kExitUsage, path + ": cannot be read");
    return content;
}

void ReplaceOutputFile(const std::string& path, const std::string& content) {
    // A device or pipe (/dev/null, a FIFO, NUL) is written as it is: it cannot be replaced.
    std::error_code status;
    if (std::filesystem::exists(path, status) && !std::filesystem::is_regular_file(path, status)) {
        std::ofstream out(path, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) throw CommandError(kExitUsage, path + ": cannot be written");
        return;
    }
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) throw CommandError(kExitUsage, path + ": cannot be written");
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw CommandError(kExitUsage, path + ": cannot be written");
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw CommandError(kExitUsage, path + ": cannot be written (" + error.message() + ")");
    }
}
