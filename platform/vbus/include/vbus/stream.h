// The byte-stream seam under the board bus: a connected socket, whatever its family (UNIX
// sockets on POSIX hosts; loopback TCP on POSIX hosts and on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vbus/protocol.h"

namespace vbus {

// A socket as the host knows it: a file descriptor on POSIX hosts, a SOCKET on Windows.
using NativeSocket = std::intptr_t;

class Stream {
  public:
    virtual ~Stream() = default;
    // Sends all bytes; false when the peer is gone.
    virtual bool SendAll(const std::uint8_t* data, std::size_t size) = 0;
    // Receives exactly `size` bytes; false on end of stream or error.
    virtual bool ReceiveAll(std::uint8_t* data, std::size_t size) = 0;
    // Ends both directions so that a reader blocked in ReceiveAll returns; safe from any thread.
    virtual void Shutdown() = 0;
    // Names the peer for log lines.
    virtual std::string PeerName() const = 0;

    // For event loops (vbus/poll.h): the socket to wait on, and transfers that never block.
    // Each returns the bytes moved (> 0), 0 when the peer has closed (receive only), or
    // kWouldBlock, or kFailed.
    static constexpr std::ptrdiff_t kWouldBlock = -1;
    static constexpr std::ptrdiff_t kFailed = -2;
    virtual NativeSocket Native() const = 0;
    virtual std::ptrdiff_t ReceiveSome(std::uint8_t* data, std::size_t size) = 0;
    virtual std::ptrdiff_t SendSome(const std::uint8_t* data, std::size_t size) = 0;
    // From now on ReceiveAll fails once it has waited `milliseconds` for bytes (0: no limit).
    virtual void SetReceiveTimeout(unsigned milliseconds) = 0;
};

#ifndef _WIN32
// Connects to a board's UNIX socket; nothing when it does not answer.
std::unique_ptr<Stream> ConnectUnix(const std::string& socketPath);
#endif

class Listener {
  public:
    virtual ~Listener() = default;
    // Waits for the next connection; nothing once Close() was called.
    virtual std::unique_ptr<Stream> Accept() = 0;
    // For event loops: the listening socket, and the next connection without waiting (nothing
    // when none is there).
    virtual NativeSocket Native() const = 0;
    virtual std::unique_ptr<Stream> TryAccept() = 0;
    virtual void Close() = 0;
};

#ifndef _WIN32
// Binds a UNIX socket at `socketPath` (a stale socket file nobody answers on is replaced);
// nothing when another live listener holds it or binding fails (`why` says which).
std::unique_ptr<Listener> ListenUnix(const std::string& socketPath, std::string& why);
#endif

// Connects to 127.0.0.1:`port`; nothing when nobody listens there.
std::unique_ptr<Stream> ConnectTcp(std::uint16_t port);

// Listens on 127.0.0.1 at a port the system picks, stored in `port`; nothing when it cannot
// (`why` says why).
std::unique_ptr<Listener> ListenTcpLoopback(std::uint16_t& port, std::string& why);

// Frame I/O over a stream. ReadFrame returns nothing on end of stream; on a malformed
// frame it returns nothing and sets `why` (empty `why` means the peer just closed).
bool WriteMessage(Stream& stream, const Message& message);
std::optional<Message> ReadMessage(Stream& stream, std::string& why);
// Sends the frame without blocking on a full socket for longer than `limitMs` in all: false
// when the peer is gone or has not taken the whole frame by then (the stream is then out of
// step and must be given up).
bool WriteMessageWithin(Stream& stream, const Message& message, unsigned limitMs);

}  // namespace vbus
