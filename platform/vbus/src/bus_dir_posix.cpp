// The bus directory on POSIX hosts: its default place, its creation, atomic file replacement.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "vbus/bus_dir.h"

namespace vbus {

std::string DefaultBusDirectory() {
    if (const char* bus = std::getenv("VBOARD_BUS"); bus && *bus) return bus;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/vboard-bus";
    return "/tmp/vboard-bus-" + std::to_string(::getuid());
}

bool EnsureBusDirectory(const std::string& dir) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return true;
    std::filesystem::create_directories(dir, ec);
    if (ec) return false;
    ::chmod(dir.c_str(), 0700);
    return std::filesystem::is_directory(dir, ec);
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content, bool sync) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;  // also when a stale temporary file was left wider open
    const char* p = content.data();
    std::size_t left = content.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = ok && (!sync || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (!sync) return true;
    // Make the rename itself durable.
    const auto parent = std::filesystem::path(path).parent_path().string();
    int dfd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace vbus
