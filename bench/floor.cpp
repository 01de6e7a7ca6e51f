#include "floor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace bench {
namespace {

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The answering process: reads each request whole (prefix, then body), answers it, and starts
// the script over until the client closes. Only system calls: the parent has threads.
[[noreturn]] void Answer(const std::vector<Exchange>& script, int socket, int trigger) {
    static std::uint8_t body[1 << 20];
    for (;;) {
        for (const Exchange& e : script) {
            std::uint8_t prefix[4];
            if (!ReadAll(socket, prefix, 4)) ::_exit(0);
            const std::uint32_t length = prefix[0] | prefix[1] << 8 | prefix[2] << 16 | prefix[3] << 24;
            if (length > sizeof body || !ReadAll(socket, body, length)) ::_exit(1);
            if (!WriteAll(socket, e.first.data(), e.first.size())) ::_exit(0);
            if (e.answerAfterTrigger && !ReadAll(trigger, body, 1)) ::_exit(0);
            if (!WriteAll(socket, e.answer.data(), e.answer.size())) ::_exit(0);
        }
    }
}

}  // namespace

FloorPeer::FloorPeer(std::vector<Exchange> script) : script_(std::move(script)) {
    int pair[2], pipe[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0 || ::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("socketpair");
    child_ = ::fork();
    if (child_ < 0) throw std::runtime_error("fork");
    if (child_ == 0) {
        ::close(pair[0]);
        ::close(pipe[1]);
        Answer(script_, pair[1], pipe[0]);
    }
    ::close(pair[1]);
    ::close(pipe[0]);
    socket_ = pair[0];
    trigger_ = pipe[1];
}

FloorPeer::~FloorPeer() {
    ::close(socket_);
    ::close(trigger_);
    int status;
    ::waitpid(child_, &status, 0);
}

void FloorPeer::RunScript() {
    for (std::size_t i = 0; i < script_.size(); ++i) {
        SendRequest(i);
        TriggerAndReceive(i);
    }
}

void FloorPeer::SendRequest(std::size_t i) {
    const Exchange& e = script_[i];
    static std::uint8_t first[1 << 16];
    if (!WriteAll(socket_, e.request.data(), e.request.size())) std::abort();
    if (!ReadAll(socket_, first, e.first.size())) std::abort();
}

void FloorPeer::TriggerAndReceive(std::size_t i) {
    const Exchange& e = script_[i];
    static std::uint8_t answer[1 << 20];
    const std::uint8_t go = 1;
    if (e.answerAfterTrigger && !WriteAll(trigger_, &go, 1)) std::abort();
    if (!ReadAll(socket_, answer, e.answer.size())) std::abort();
}

}  // namespace bench
