#include "session_recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace vboard {
namespace {

std::string Hex(const vbus::Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out.empty() ? "-" : out;
}

std::string Result(bool pending, std::uint32_t error) {
    if (pending) return " result=pending error=997";
    return std::string(error == 0 ? " result=ok" : " result=fail") + " error=" + std::to_string(error);
}

std::string Label(std::uint64_t handle, const std::string& name) {
    return " handle=h" + std::to_string(handle) + ":" + name;
}

}  // namespace

std::unique_ptr<SessionRecorder> SessionRecorder::Open(const std::string& path, const std::string& devicePath,
                                                       std::string& why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = "cannot write the session to " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SessionRecorder> recorder(new SessionRecorder);
    recorder->file_ = ::fdopen(fd, "w");
    if (recorder->file_ == nullptr) {
        ::close(fd);
        why = "cannot write the session to " + path;
        return nullptr;
    }
    std::fputs("board-trace 1\n# recorded by vboard, on the board's side\n", recorder->file_);
    recorder->writer_ = std::thread([r = recorder.get()] { r->WriterLoop(); });
    std::uint64_t line;
    recorder->Write(recorder->Begin("SetupDiGetDeviceInterfaceDetail", line) +
                    " result=ok error=0 path=" + devicePath);
    return recorder;
}

SessionRecorder::~SessionRecorder() {
    {
        std::lock_guard hold(queueLock_);
        quit_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) writer_.join();
    if (file_ != nullptr) std::fclose(file_);
}

std::string SessionRecorder::Begin(const char* call, std::uint64_t& line) {
    line = ++lines_;
    char head[96];
    std::snprintf(head, sizeof head, "%llu %.6f T1 %s", static_cast<unsigned long long>(line),
                  std::chrono::duration<double>(Clock::now() - start_).count(), call);
    return head;
}

void SessionRecorder::Write(std::string line) {
    {
        std::lock_guard hold(queueLock_);
        queue_.push_back(std::move(line));
    }
    wake_.notify_one();
}

void SessionRecorder::WriterLoop() {
    std::unique_lock hold(queueLock_);
    for (;;) {
        wake_.wait(hold, [&] { return !queue_.empty() || quit_; });
        while (!queue_.empty()) {
            const std::string line = std::move(queue_.front());
            queue_.pop_front();
            hold.unlock();
            std::fputs(line.c_str(), file_);
            std::fputc('\n', file_);
            std::fflush(file_);
            hold.lock();
        }
        if (quit_) return;
    }
}

void SessionRecorder::Opened(std::uint64_t handle, const std::string& name, std::uint32_t error,
                             const std::string& path) {
    std::uint64_t line;
    Write(Begin("CreateFile", line) + (error == 0 ? Label(handle, name) : " handle=-:" + name) +
          Result(false, error) + " path=" + path);
}

void SessionRecorder::Request(std::uint64_t handle, const std::string& name, std::uint32_t id,
                              const vbus::Submit& s, bool pending, std::uint32_t error,
                              std::uint32_t information, const vbus::Bytes& output,
                              const vbus::Bytes& window) {
    std::uint64_t line;
    std::string text;
    if (s.op == vbus::Op::Ioctl) {
        // The record's data pointer, which differs from run to run, as zeros (16 bytes from a
        // 32-bit program, 24 from a 64-bit one; the pointer from byte 8).
        vbus::Bytes in = s.input;
        if (in.size() == 16 || in.size() == 24)
            std::fill(in.begin() + 8, in.begin() + (in.size() == 16 ? 12 : 16), 0);
        char code[16];
        std::snprintf(code, sizeof code, "0x%08x", s.code);
        text = Begin("DeviceIoControl", line) + Label(handle, name) + " code=" + code + " in=" + Hex(in) +
               " window=" + Hex(s.window) + " len=" + std::to_string(s.outLength);
    } else if (s.op == vbus::Op::Write) {
        text = Begin("WriteFile", line) + Label(handle, name) + " in=" + Hex(s.input);
    } else {
        text = Begin("ReadFile", line) + Label(handle, name) + " len=" + std::to_string(s.outLength);
    }
    text += Result(pending, error);
    if (pending) {
        pending_[{handle, id}] = {line, Clock::now()};
    } else if (error == 0) {
        text += " bytes=" + std::to_string(information);
        if (s.op != vbus::Op::Write) text += " out=" + Hex(output);
        if (!window.empty()) text += " window=" + Hex(window);
    }
    Write(std::move(text));
}

void SessionRecorder::Done(std::uint64_t handle, const std::string& name, std::uint32_t id,
                           std::uint32_t error, std::uint32_t information, const vbus::Bytes& output,
                           const vbus::Bytes& window) {
    const auto it = pending_.find({handle, id});
    if (it == pending_.end()) return;
    const auto [requestLine, since] = it->second;
    pending_.erase(it);
    std::uint64_t line;
    std::string text = Begin("GetOverlappedResult", line) + Label(handle, name) +
                       " for=" + std::to_string(requestLine) + Result(false, error) +
                       " bytes=" + std::to_string(information);
    if (error == 0 && !output.empty()) text += " out=" + Hex(output);
    if (error == 0 && !window.empty()) text += " window=" + Hex(window);
    char pending[32];
    std::snprintf(pending, sizeof pending, " pending_ms=%.3f",
                  std::chrono::duration<double, std::milli>(Clock::now() - since).count());
    Write(text + pending);
}

void SessionRecorder::Cancelled(std::uint64_t handle, const std::string& name) {
    std::uint64_t line;
    Write(Begin("CancelIoEx", line) + Label(handle, name) + " result=ok error=0");
}

void SessionRecorder::Closed(std::uint64_t handle, const std::string& name) {
    for (auto it = pending_.begin(); it != pending_.end();)
        it = it->first.first == handle ? pending_.erase(it) : std::next(it);
    std::uint64_t line;
    Write(Begin("CloseHandle", line) + Label(handle, name) + " result=ok error=0");
}

}  // namespace vboard
