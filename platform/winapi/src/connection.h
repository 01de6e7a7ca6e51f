// A handle made by CreateFileA: one connection to the board that opened the path. Requests
// go out as SUBMIT from the caller's thread; the process's completion thread takes the board's
// answers and completes requests into the caller's memory when their DONE arrives.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "objects.h"
#include "vbus/frame_reader.h"
#include "vbus/protocol.h"
#include "vbus/stream.h"

namespace winapi_impl {

// One request as the caller issued it: what the completion writes to, and what it tells.
struct Request {
    vbus::Op op = vbus::Op::Read;
    DWORD issuer = 0;                  // thread id, for CancelIo
    OVERLAPPED* overlapped = nullptr;  // the caller's record, or nullptr
    std::shared_ptr<Event> event;      // the record's event, held from submission
    std::uint8_t* output = nullptr;    // read buffer or device-control output
    DWORD outputSize = 0;
    const std::uint8_t* input = nullptr;  // write data, read once more at completion
    DWORD inputSize = 0;
    std::uint8_t* window = nullptr;  // caller memory a control block names
    DWORD windowSize = 0;

    // Guarded by the connection's lock.
    bool accepted = false;  // the board's first answer was ACCEPTED
    bool done = false;
    bool cancelSent = false;
    bool completing = false;  // its DONE is being delivered
    DWORD error = 0;
    DWORD transferred = 0;
};

class Connection final : public Object, public std::enable_shared_from_this<Connection> {
  public:
    Connection(std::unique_ptr<vbus::Stream> stream, bool overlapped);
    ~Connection() override;

    // Hands the connection to the completion thread (started with the first); false when no
    // thread could be made.
    bool Start();

    struct Outcome {
        bool pending;  // the board accepted it (overlapped handles only)
        DWORD error;
        DWORD transferred;
    };
    // Sends the request and waits for the board's first answer (overlapped handle) or for
    // its completion (synchronous handle).
    Outcome Issue(const std::shared_ptr<Request>& request, vbus::Submit submit);

    // Sends CANCEL for the matching requests still pending; returns how many matched.
    // A zero issuer or a null record matches any.
    std::size_t Cancel(DWORD issuer, const OVERLAPPED* overlapped);

    bool overlapped() const { return overlapped_; }
    Event* Signal() override { return &completed_; }
    void LastHandleClosed() override;

    // Process exit: drops the connection without completing anything into caller memory.
    void Abandon();

  private:
    friend class CompletionLoop;
    std::size_t PendingCount();
    // Completion thread: takes what has arrived; false once the connection has ended (the
    // board left or broke the protocol, or the handle asked to end it). Finish then fails what
    // is left.
    bool OnReadable(std::vector<std::uint8_t>& buffer);
    void Finish();
    // Ends the connection from any thread; the completion thread finishes it.
    void End();
    bool OnAccepted(std::uint32_t id, std::string& why);
    bool OnDone(vbus::Done& done, std::string& why);
    void FailAll();
    void SendCancels(const std::vector<std::uint32_t>& ids);

    std::unique_ptr<vbus::Stream> stream_;
    const bool overlapped_;
    std::atomic<bool> ending_{false};
    vbus::FrameReader reader_;     // completion thread only
    std::string why_;              // completion thread only: the protocol fault that ended it
    Event completed_{true, true};  // the file object's own signal

    std::mutex sendLock_;  // one frame at a time; taken before lock_
    std::mutex lock_;
    std::condition_variable answered_;
    std::map<std::uint32_t, std::shared_ptr<Request>> requests_;
    std::uint32_t nextId_ = 1;
    bool closed_ = false;     // the last handle is gone
    bool broken_ = false;     // the board went away or broke the protocol
    bool abandoned_ = false;  // the process is exiting
};

// Requests not completed yet, on every connection.
std::size_t PendingRequests();
// Threads the stand-in has started for its connections (the completion thread: at most one).
std::size_t CompletionThreadsStarted();

}  // namespace winapi_impl
