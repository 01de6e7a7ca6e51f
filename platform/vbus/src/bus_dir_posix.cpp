// The bus directory on POSIX hosts: its default place, its creation, atomic file replacement.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

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

// The directory must be ours and closed to other users: the bus secret and the boards' sockets
// rest on that. A symbolic link is followed only when it is ours too.
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
    if ((target.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return "the bus directory " + dir + " is open to other users (mode " + Octal(target.st_mode) +
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

// A temporary file of ours: ".NAME.vboard-tmp-" and 16 random hexadecimal digits, in NAME's
// directory. Hidden, marked as the board's, and never a name a user or another program makes.
constexpr char kTemporaryMark[] = ".vboard-tmp-";
constexpr std::size_t kRandomDigits = 16;

std::string RandomDigits() {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               (static_cast<std::uint64_t>(::getpid()) << 32)};
    char text[kRandomDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
}

struct Names {
    std::string dir;   // "" for the current directory
    std::string name;  // the file's own name
    std::string Temporary(const std::string& digits) const {
        return (dir.empty() ? "" : dir + "/") + "." + name + kTemporaryMark + digits;
    }
};

Names NamesOf(const std::string& path) {
    const std::filesystem::path file(path);
    return {file.has_parent_path() ? file.parent_path().string() : std::string(),
            file.filename().string()};
}

bool IsOurTemporaryName(const std::string& entry, const std::string& name) {
    const std::string prefix = "." + name + kTemporaryMark;
    if (entry.size() != prefix.size() + kRandomDigits || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < entry.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(entry[i])) || std::isupper(static_cast<unsigned char>(entry[i])))
            return false;
    return true;
}

// The descriptor still is the file of that name (nobody removed or replaced it meanwhile).
bool StillNamed(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Creates a fresh temporary file beside the target, mode 0600, never through a link, and
// holds its lock: while it is held no cleanup removes the file. -1 when none can be made.
int CreateTemporary(const Names& names, std::string& tmp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        tmp = names.Temporary(RandomDigits());
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;  // a name taken (by chance, or planted): another one
            return -1;
        }
        // A cleanup may have taken the file between its creation and the lock: then it is no
        // longer ours to use, and another name is tried.
        if (::flock(fd, LOCK_EX) == 0 && StillNamed(fd, tmp)) return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const std::string& content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& content, bool sync) {
    const Names names = NamesOf(path);
    std::string tmp;
    const int fd = CreateTemporary(names, tmp);
    if (fd < 0) return false;
    // The file replaced keeps its permissions: its mode is not ours to change. A new one is the
    // owner's alone.
    bool ok = true;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ok = ::fchmod(fd, existing.st_mode & 0777) == 0;
    ok = ok && WriteAll(fd, content);
    ok = ok && (!sync || ::fsync(fd) == 0);
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    ::close(fd);  // releases the lock, once the name is gone
    if (!ok) return false;
    if (!sync) return true;
    // Make the rename itself durable.
    int dfd = ::open(names.dir.empty() ? "." : names.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void RemoveStaleTemporaries(const std::string& path) {
    const Names names = NamesOf(path);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(names.dir.empty() ? "." : names.dir, ec)) {
        const std::string entryName = entry.path().filename().string();
        if (!IsOurTemporaryName(entryName, names.name)) continue;
        const std::string tmp = entry.path().string();
        struct stat info {};
        if (::lstat(tmp.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        const int fd = ::open(tmp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A writer holds the lock from the file's creation to its rename: a file whose lock is
        // free was left by a writer that died, in this PID namespace or another.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, tmp)) ::unlink(tmp.c_str());
        ::close(fd);
    }
}

}  // namespace vbus
