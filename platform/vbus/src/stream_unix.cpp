// UNIX-domain stream sockets behind the Stream and Listener seams.
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "vbus/stream.h"

namespace vbus {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

class UnixStream final : public Stream {
public:
    UnixStream(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {}
    ~UnixStream() override { ::close(fd_); }

    bool SendAll(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool ReceiveAll(std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            ssize_t n = ::recv(fd_, data, size, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    void Shutdown() override { ::shutdown(fd_, SHUT_RDWR); }
    std::string PeerName() const override { return peer_; }

private:
    int fd_;
    std::string peer_;
};

class UnixListener final : public Listener {
public:
    UnixListener(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~UnixListener() override {
        Close();
        ::close(fd_);
    }
    std::unique_ptr<Stream> Accept() override {
        for (;;) {
            if (closed_.load()) return nullptr;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c >= 0) {
                if (closed_.load()) {
                    ::close(c);
                    return nullptr;
                }
                return std::make_unique<UnixStream>(c, "client#" + std::to_string(++accepted_));
            }
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return nullptr;
        }
    }
    void Close() override {
        if (closed_.exchange(true)) return;
        ::shutdown(fd_, SHUT_RDWR);
        ::unlink(path_.c_str());
    }

private:
    int fd_;
    std::string path_;
    std::atomic<bool> closed_{false};
    unsigned accepted_ = 0;
};

}  // namespace

std::unique_ptr<Stream> ConnectUnix(const std::string& socketPath) {
    sockaddr_un addr;
    if (!FillAddress(socketPath, addr)) return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixStream>(fd, socketPath);
}

std::unique_ptr<Listener> ListenUnix(const std::string& socketPath, std::string& why) {
    sockaddr_un addr;
    if (!FillAddress(socketPath, addr)) {
        why = "socket path too long: " + socketPath;
        return nullptr;
    }
    if (ConnectUnix(socketPath)) {
        why = "another board answers on " + socketPath;
        return nullptr;
    }
    ::unlink(socketPath.c_str());  // stale file of a board that died
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        why = "bind " + socketPath + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixListener>(fd, socketPath);
}

}  // namespace vbus
