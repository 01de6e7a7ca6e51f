// Files on POSIX systems: names are bytes, passed as they are.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_io.h"

namespace files {
namespace {

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Kind KindOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return Kind::None;
    if (S_ISLNK(st.st_mode)) return Kind::Link;
    return S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
}

std::string Resolve(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        // A link to a file not made yet: its target, made absolute against the link's folder.
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return {};
        std::string to(target, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        if (to[0] != '/' && slash != std::string::npos) to = path.substr(0, slash + 1) + to;
        return KindOf(to) == Kind::None ? to : std::string();
    }
    std::string out = resolved;
    std::free(resolved);
    return out;
}

bool ReadAll(const std::string& path, std::string& content, std::size_t limit, bool& tooLarge) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char block[4096];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(block, static_cast<std::size_t>(n));
        if (content.size() > limit) {
            tooLarge = true;
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

bool WriteInPlace(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, content);
    return ::close(fd) == 0 && ok;
}

Created CreateNew(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Created::NameTaken : Created::Failed;
    const bool wrote = WriteAll(fd, content);
    const bool ok = ::close(fd) == 0 && wrote;
    if (!ok) ::unlink(path.c_str());
    return ok ? Created::Yes : Created::Failed;
}

bool Rename(const std::string& from, const std::string& to, std::string& why) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    why = std::strerror(errno);
    return false;
}

void Remove(const std::string& path) {
    if (KindOf(path) == Kind::Regular) ::unlink(path.c_str());
}

}  // namespace files
