// Loopback TCP behind the Stream and Listener seams, on POSIX hosts.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "socket_stream_posix.h"
#include "vbus/stream.h"

namespace vbus {
namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

// Requests and answers are small frames that wait for each other: send each at once.
void SendAtOnce(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::unique_ptr<Stream> MakeTcpStream(int fd, std::string peer) {
    SendAtOnce(fd);
    return std::make_unique<SocketStream>(fd, std::move(peer));
}

class TcpListener final : public Listener {
  public:
    explicit TcpListener(int fd) : fd_(fd) {}
    ~TcpListener() override {
        Close();
        ::close(fd_);
    }
    std::unique_ptr<Stream> Accept() override {
        for (;;) {
            if (closed_.load()) return nullptr;
            sockaddr_in peer;
            socklen_t size = sizeof peer;
            int c = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
            if (c >= 0) {
                if (closed_.load()) {
                    ::close(c);
                    return nullptr;
                }
                return MakeTcpStream(c, "tcp-client#" + std::to_string(++accepted_) + " (port " +
                                            std::to_string(ntohs(peer.sin_port)) + ")");
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
    }

  private:
    int fd_;
    std::atomic<bool> closed_{false};
    unsigned accepted_ = 0;
};

}  // namespace

std::unique_ptr<Stream> ConnectTcp(std::uint16_t port) {
    sockaddr_in addr = LoopbackAddress(port);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return MakeTcpStream(fd, "127.0.0.1:" + std::to_string(port));
}

std::unique_ptr<Listener> ListenTcpLoopback(std::uint16_t& port, std::string& why) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    sockaddr_in addr = LoopbackAddress(0);
    socklen_t size = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
        why = std::string("listen on 127.0.0.1: ") + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    port = ntohs(addr.sin_port);
    return std::make_unique<TcpListener>(fd);
}

}  // namespace vbus
