// A connected POSIX socket (UNIX or TCP) behind the Stream seam.
#pragma once

#include <errno.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "vbus/stream.h"

namespace vbus {

class SocketStream final : public Stream {
  public:
    SocketStream(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {}
    ~SocketStream() override { ::close(fd_); }

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

    NativeSocket Native() const override { return fd_; }
    std::ptrdiff_t ReceiveSome(std::uint8_t* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::recv(fd_, data, size, MSG_DONTWAIT);
            if (n >= 0) return n;
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : kFailed;
        }
    }
    std::ptrdiff_t SendSome(const std::uint8_t* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n >= 0) return n;
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : kFailed;
        }
    }
    void SetReceiveTimeout(unsigned milliseconds) override {
        timeval limit{static_cast<time_t>(milliseconds / 1000),
                      static_cast<suseconds_t>(milliseconds % 1000 * 1000)};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }

  private:
    int fd_;
    std::string peer_;
};

}  // namespace vbus
