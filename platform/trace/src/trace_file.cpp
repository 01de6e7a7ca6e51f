#include "trace_file.h"

#include <mutex>

namespace board_trace {
namespace {

struct File {
    std::mutex lock;
    std::FILE* file = nullptr;
};

File& TheFile() {
    // Reached by calls until the process ends, from any thread: never destroyed.
    static File* const f = [] {
        auto* made = new File;
        made->file = OpenTraceFile();
        if (made->file != nullptr) {
            std::fputs("board-trace 1\n", made->file);
            std::fflush(made->file);
        }
        return made;
    }();
    return *f;
}

}  // namespace

bool Active() {
    static const bool active = TheFile().file != nullptr;
    return active;
}

void WriteLine(const std::string& line) {
    File& f = TheFile();
    std::lock_guard hold(f.lock);
    if (f.file == nullptr) return;
    std::fputs(line.c_str(), f.file);
    std::fputc('\n', f.file);
    std::fflush(f.file);
}

}  // namespace board_trace
