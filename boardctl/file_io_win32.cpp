// Files on Windows: UTF-8 names are opened by their UTF-16 form, so a name in any script works
// whatever the system's code page. Through the C runtime's wide calls, not kernel32's file
// calls, which the Windows test build hands to the board's stand-in.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "file_io.h"
#include "utf16.h"

namespace files {
namespace {

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const int n = _write(fd, content.data() + done, static_cast<unsigned>(content.size() - done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Kind KindOf(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Utf16(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Kind::None;
    // A link on Windows (a reparse point) is written through, as a device is: its target is
    // what the user named.
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return Kind::Other;
    return Kind::Regular;
}

std::string Resolve(const std::string&) { return {}; }

bool ReadAll(const std::string& path, std::string& content, std::size_t limit, bool& tooLarge) {
    const int fd = _wopen(Utf16(path).c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) return false;
    char block[4096];
    bool ok = true;
    for (;;) {
        const int n = _read(fd, block, sizeof block);
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
    _close(fd);
    return ok;
}

bool WriteInPlace(const std::string& path, const std::string& content) {
    const int fd = _wopen(Utf16(path).c_str(), _O_WRONLY | _O_BINARY);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, content);
    return _close(fd) == 0 && ok;
}

Created CreateNew(const std::string& path, const std::string& content) {
    const std::wstring wide = Utf16(path);
    const int fd = _wopen(wide.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
    if (fd < 0) return errno == EEXIST ? Created::NameTaken : Created::Failed;
    const bool wrote = WriteAll(fd, content);
    const bool ok = _close(fd) == 0 && wrote;
    if (!ok) DeleteFileW(wide.c_str());
    return ok ? Created::Yes : Created::Failed;
}

bool Rename(const std::string& from, const std::string& to, std::string& why) {
    if (MoveFileExW(Utf16(from).c_str(), Utf16(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    why = "Windows error " + std::to_string(GetLastError());
    return false;
}

void Remove(const std::string& path) {
    if (KindOf(path) == Kind::Regular) DeleteFileW(Utf16(path).c_str());
}

}  // namespace files
