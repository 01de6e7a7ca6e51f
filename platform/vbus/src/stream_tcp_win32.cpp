// Loopback TCP behind the Stream and Listener seams, on Windows (Winsock).
//
// A blocking call on a socket is not reliably ended by a shutdown from another thread (wine
// leaves it blocked), so waits are done in short select() slices that look at the stream's
// own shutdown flag in between.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "vbus/stream.h"

namespace vbus {
namespace {

constexpr long kSliceMicroseconds = 100 * 1000;

bool WinsockReady() {
    static const bool ready = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

// Waits until `socket` can be read (or written) or `stop` turns true; false in the second case,
// on an error, or once `limitMs` (when not 0) have passed.
bool WaitReady(SOCKET socket, bool forWriting, const std::atomic<bool>& stop, unsigned limitMs = 0) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (stop.load()) return false;
        if (limitMs != 0 && ::GetTickCount() - start >= limitMs) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval slice{0, kSliceMicroseconds};
        const int ready =
            ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &slice);
        if (ready == SOCKET_ERROR) return false;
        if (ready > 0) return !stop.load();
    }
}

class WinsockStream final : public Stream {
  public:
    WinsockStream(SOCKET socket, std::string peer) : socket_(socket), peer_(std::move(peer)) {
        // Requests and answers are small frames that wait for each other: send each at once.
        BOOL on = TRUE;
        ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    ~WinsockStream() override { ::closesocket(socket_); }

    bool SendAll(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            if (!WaitReady(socket_, true, shut_)) return false;
            const int n = ::send(socket_, reinterpret_cast<const char*>(data),
                                 static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool ReceiveAll(std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            if (!WaitReady(socket_, false, shut_, receiveLimitMs_.load())) return false;
            const int n = ::recv(socket_, reinterpret_cast<char*>(data),
                                 static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    void Shutdown() override {
        if (!shut_.exchange(true)) ::shutdown(socket_, SD_BOTH);
    }
    std::string PeerName() const override { return peer_; }

    NativeSocket Native() const override { return static_cast<NativeSocket>(socket_); }
    std::ptrdiff_t ReceiveSome(std::uint8_t* data, std::size_t size) override {
        if (!ReadyNow(false)) return kWouldBlock;
        const int n = ::recv(socket_, reinterpret_cast<char*>(data),
                             static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
        return n >= 0 ? n : kFailed;
    }
    std::ptrdiff_t SendSome(const std::uint8_t* data, std::size_t size) override {
        if (!ReadyNow(true)) return kWouldBlock;
        const int n = ::send(socket_, reinterpret_cast<const char*>(data),
                             static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
        return n >= 0 ? n : kFailed;
    }
    void SetReceiveTimeout(unsigned milliseconds) override { receiveLimitMs_.store(milliseconds); }

  private:
    bool ReadyNow(bool forWriting) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket_, &set);
        timeval now{0, 0};
        return ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &now) == 1;
    }

    const SOCKET socket_;
    const std::string peer_;
    std::atomic<bool> shut_{false};
    std::atomic<unsigned> receiveLimitMs_{0};
};

class WinsockListener final : public Listener {
  public:
    explicit WinsockListener(SOCKET socket) : socket_(socket) {}
    ~WinsockListener() override {
        Close();
        ::closesocket(socket_);
    }
    std::unique_ptr<Stream> Accept() override {
        for (;;) {
            if (!WaitReady(socket_, false, closed_)) return nullptr;
            sockaddr_in peer{};
            int size = sizeof peer;
            const SOCKET c = ::accept(socket_, reinterpret_cast<sockaddr*>(&peer), &size);
            if (c == INVALID_SOCKET) continue;
            return std::make_unique<WinsockStream>(c, "tcp-client#" + std::to_string(++accepted_) +
                                                          " (port " + std::to_string(ntohs(peer.sin_port)) +
                                                          ")");
        }
    }
    NativeSocket Native() const override { return static_cast<NativeSocket>(socket_); }
    std::unique_ptr<Stream> TryAccept() override {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket_, &set);
        timeval now{0, 0};
        if (closed_.load() || ::select(0, &set, nullptr, nullptr, &now) != 1) return nullptr;
        return Accept();
    }
    void Close() override { closed_.store(true); }

  private:
    const SOCKET socket_;
    std::atomic<bool> closed_{false};
    unsigned accepted_ = 0;
};

}  // namespace

std::unique_ptr<Stream> ConnectTcp(std::uint16_t port) {
    if (!WinsockReady()) return nullptr;
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return nullptr;
    sockaddr_in addr = LoopbackAddress(port);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::closesocket(socket);
        return nullptr;
    }
    return std::make_unique<WinsockStream>(socket, "127.0.0.1:" + std::to_string(port));
}

std::unique_ptr<Listener> ListenTcpLoopback(std::uint16_t& port, std::string& why) {
    if (!WinsockReady()) {
        why = "Winsock did not start";
        return nullptr;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        why = "socket: error " + std::to_string(::WSAGetLastError());
        return nullptr;
    }
    sockaddr_in addr = LoopbackAddress(0);
    int size = sizeof addr;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(socket, 16) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
        why = "listen on 127.0.0.1: error " + std::to_string(::WSAGetLastError());
        ::closesocket(socket);
        return nullptr;
    }
    port = ntohs(addr.sin_port);
    return std::make_unique<WinsockListener>(socket);
}

}  // namespace vbus
