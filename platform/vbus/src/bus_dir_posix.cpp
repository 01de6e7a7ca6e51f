// The bus directory on POSIX hosts: its default place, its creation, atomic file replacement.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "vbus/bus_dir.h"

namespace vbus {

std::string DefaultBusDirectory() {
    if (const char* bus = std::getenv("VBOARD_BUS"); bus && *bus) return bus;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/vboard-bus";
    return "/tmp/vboard-bus-" + std::to_string(::getuid());
}

namespace {

std::string Octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "0%03o", static_cast<unsigned>(mode & 0777));
    return text;
}

// The directory must be ours and closed to other users' writes: the bus secret and the boards'
// sockets rest on that. A symbolic link is followed only when it is ours too.
std::string WhyUnsafe(const std::string& dir) {
    const uid_t me = ::geteuid();
    const std::string otherPlace = "set VBOARD_BUS to a directory of your own";
    struct stat link {};
    struct stat target {};
    if (::lstat(dir.c_str(), &link) != 0 || ::stat(dir.c_str(), &target) != 0)
        return "cannot use the bus directory " + dir + ": " + std::strerror(errno);
    if (!S_ISDIR(target.st_mode))
        return "the bus directory " + dir + " is not a directory; remove it or " + otherPlace;
    if (link.st_uid != me || target.st_uid != me) {
        const uid_t owner = link.st_uid != me ? link.st_uid : target.st_uid;
        return "the bus directory " + dir + " belongs to user " + std::to_string(owner) + ", not to you (" +
               std::to_string(me) + "); remove it or " + otherPlace;
    }
    if ((target.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "the bus directory " + dir + " is writable by other users (mode " + Octal(target.st_mode) +
               "); run: chmod 700 " + dir + " (or " + otherPlace + ")";
    return {};
}

}  // namespace

bool CheckBusDirectory(const std::string& dir, std::string* why) {
    const std::string reason = WhyUnsafe(dir);
    if (why) *why = reason;
    return reason.empty();
}

bool EnsureBusDirectory(const std::string& dir, std::string* why) {
    std::string reason;
    const std::filesystem::path path(dir);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    // Made with mode 0700 from the start, never wider for a moment.
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        reason = "cannot create the bus directory " + dir + ": " + std::strerror(errno);
    else
        reason = WhyUnsafe(dir);
    if (why) *why = reason;
    return reason.empty();
}

namespace {
std::string TemporaryPath(const std::string& path, pid_t pid) { return path + ".tmp" + std::to_string(pid); }
}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    const std::string tmp = TemporaryPath(path, ::getpid());
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
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const auto parent = std::filesystem::path(path).parent_path().string();
    int dfd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string prefix = file.filename().string() + ".tmp";
    std::error_code ec;
    const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 || name.rfind(prefix, 0) != 0)
            continue;
        pid_t pid = 0;
        bool digits = true;
        for (std::size_t i = prefix.size(); i < name.size() && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9';
            pid = pid * 10 + (name[i] - '0');
        }
        if (!digits || pid <= 0 || pid == ::getpid()) continue;
        // A process that exists (EPERM: another user's) may still be writing it.
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove(entry.path(), ignored);
    }
}

}  // namespace vbus
