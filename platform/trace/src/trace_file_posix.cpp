#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "trace_file.h"

namespace board_trace {

std::FILE* OpenTraceFile() {
    const char* name = std::getenv("BOARD_TRACE");
    if (name == nullptr || *name == '\0') return nullptr;
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace board_trace
