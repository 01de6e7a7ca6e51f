// One client connection to the board: its stream, what it has sent so far, what waits to be
// sent, and what the connection has become after HELLO. The board's event loop reads from it and
// flushes it; any thread may send on it (with the board's lock held). The board's lock guards
// the handle state; the outgoing queue has its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "vbus/frame_reader.h"
#include "vbus/poll.h"
#include "vbus/stream.h"
#include "vbus/tcp_endpoint.h"

namespace vboard {

enum class ConnectionKind { New, Probe, Device, Pipe, Control, Refused };
// For log lines: "before HELLO", "pipe handle", ...
const char* KindName(ConnectionKind kind);

class Connection {
  public:
    using Clock = std::chrono::steady_clock;

    // `wake` is the board loop's waker: a send that cannot finish at once leaves the rest to it.
    Connection(std::uint32_t id, std::unique_ptr<vbus::Stream> stream, vbus::Waker& wake);
    ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    std::uint32_t Id() const { return id_; }
    std::string PeerName() const { return stream_->PeerName(); }
    vbus::Stream& Stream() { return *stream_; }

    // Sends what the socket takes now and queues the rest for the loop. When the peer leaves
    // more than kMaxQueuedBytes unread the connection is shut down and Overflowed() turns true.
    void Send(const vbus::Message& message);
    // Sends what is queued, then ends the connection.
    void CloseAfterFlush();
    // Ends both directions; the loop sees the end of the stream. Any thread.
    void Shutdown();
    bool Overflowed() const { return overflowed_.load(); }

    // Loop: whether anything waits to be sent, and sending it; false when the peer is gone.
    bool WantsToWrite();
    bool Flush();
    // Bytes waiting to be sent.
    std::size_t Queued();

    static constexpr std::size_t kMaxQueuedBytes = 1u << 20;

    // Loop only.
    vbus::FrameReader reader;
    bool secretFirst = false;  // TCP: the peer must send the bus secret before its first frame
    vbus::Secret secret{};     // what it has sent of it
    std::size_t secretHave = 0;
    bool greeted = false;                      // HELLO has been handled
    Clock::time_point greetBy{};               // closed when not greeted by then
    std::optional<Clock::time_point> frameBy;  // closed when the frame it started is not whole by then

    // Guarded by the board's lock.
    ConnectionKind kind = ConnectionKind::New;
    int pipe = -1;                // pipe handle: 0..3
    std::uint64_t plugEpoch = 0;  // the board's plug epoch when the handle was opened
    std::size_t pending = 0;      // requests pending on this handle

    // Control commands of this connection waiting for the command thread; guarded by the
    // board's command queue lock.
    std::size_t queuedCommands = 0;

  private:
    bool FlushLocked();

    const std::uint32_t id_;
    std::unique_ptr<vbus::Stream> stream_;
    vbus::Waker& wake_;

    std::mutex mu_;
    std::deque<vbus::Bytes> queue_;
    std::size_t sentOfFront_ = 0;  // bytes of queue_.front() already sent
    std::size_t queuedBytes_ = 0;
    bool closeAfterFlush_ = false;
    bool shut_ = false;
    std::atomic<bool> overflowed_{false};
};

}  // namespace vboard
