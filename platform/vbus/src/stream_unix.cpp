// UNIX-domain stream sockets behind the Stream and Listener seams.
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "socket_stream_posix.h"
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
                return std::make_unique<SocketStream>(c, "client#" + std::to_string(++accepted_));
            }
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return nullptr;
        }
    }
    NativeSocket Native() const override { return fd_; }
    std::unique_ptr<Stream> TryAccept() override {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) != 1 || (ready.revents & POLLIN) == 0) return nullptr;
        return Accept();
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
    return std::make_unique<SocketStream>(fd, socketPath);
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
    // The socket of a board that died; anything else at that name is not ours to remove.
    struct stat existing {};
    if (::lstat(socketPath.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            why = socketPath + " is there and is no board's socket; remove it or use another bus directory";
            return nullptr;
        }
        ::unlink(socketPath.c_str());
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    // The owner's alone whatever the umask: never wider from its creation on (the socket's own
    // mode bounds the file's), and exactly 0600 once it is there, before anyone can connect.
    if (::fchmod(fd, 0600) != 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::chmod(socketPath.c_str(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        why = "bind " + socketPath + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixListener>(fd, socketPath);
}

}  // namespace vbus
