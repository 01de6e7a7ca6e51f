// One client connection to the board: its stream, its outgoing queue with a writer thread, and
// what the connection has become after HELLO. The board's lock guards the handle state; the
// queue has its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "vbus/stream.h"

namespace vboard {

enum class ConnectionKind { New, Probe, Device, Pipe, Control, Refused };

class Connection {
  public:
    Connection(std::uint32_t id, std::unique_ptr<vbus::Stream> stream);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    std::uint32_t Id() const { return id_; }
    std::string PeerName() const { return stream_->PeerName(); }
    vbus::Stream& Stream() { return *stream_; }

    // Queues a message for the writer thread. When the peer leaves too much unread the connection
    // is shut down and Overflowed() turns true.
    void Send(const vbus::Message& message);
    // Sends what is queued, then ends the connection.
    void CloseAfterFlush();
    // Ends both directions; the reader sees the end of the stream. Any thread.
    void Shutdown();
    bool Overflowed() const { return overflowed_.load(); }
    // Stops the writer thread and waits for it.
    void StopWriter();

    // Reader thread, started and joined by the board.
    std::thread reader;

    // Set before the reader starts: the peer must send the bus secret before its first frame.
    bool secretFirst = false;

    // Guarded by the board's lock.
    ConnectionKind kind = ConnectionKind::New;
    int pipe = -1;                // pipe handle: 0..3
    std::uint64_t plugEpoch = 0;  // the board's plug epoch when the handle was opened
    std::size_t pending = 0;      // requests pending on this handle

  private:
    void WriteLoop();

    static constexpr std::size_t kMaxQueuedBytes = 8u << 20;

    const std::uint32_t id_;
    std::unique_ptr<vbus::Stream> stream_;

    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<vbus::Bytes> queue_;
    std::size_t queuedBytes_ = 0;
    bool closeAfterFlush_ = false;
    bool stopping_ = false;
    std::atomic<bool> overflowed_{false};
    std::thread writer_;
};

}  // namespace vboard
