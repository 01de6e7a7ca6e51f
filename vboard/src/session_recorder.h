// `vboard run --record FILE`: the session as the board sees it, in the trace format the
// programs write with BOARD_TRACE (docs/TRACE.md), so that a session made with the panel or a
// script can be replayed. Lines are handed to a thread of their own: the board's loop waits on
// no disk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "vbus/protocol.h"

namespace vboard {

class SessionRecorder {
  public:
    // Opens (creates or empties, never through a link) `path`; nullptr with the reason.
    static std::unique_ptr<SessionRecorder> Open(const std::string& path, const std::string& devicePath,
                                                 std::string& why);
    ~SessionRecorder();  // writes what is queued and closes the file

    // A handle opened (`error` 0) or refused; `name` "device" or "PIPE00".."PIPE03".
    void Opened(std::uint64_t handle, const std::string& name, std::uint32_t error, const std::string& path);
    // A request as it came: pending, or ended at once with `error` (then `output`).
    void Request(std::uint64_t handle, const std::string& name, std::uint32_t id, const vbus::Submit& submit,
                 bool pending, std::uint32_t error, std::uint32_t information, const vbus::Bytes& output,
                 const vbus::Bytes& window);
    // A pending request's result.
    void Done(std::uint64_t handle, const std::string& name, std::uint32_t id, std::uint32_t error,
              std::uint32_t information, const vbus::Bytes& output, const vbus::Bytes& window);
    void Cancelled(std::uint64_t handle, const std::string& name);
    void Closed(std::uint64_t handle, const std::string& name);

  private:
    SessionRecorder() = default;
    std::string Begin(const char* call, std::uint64_t& line);
    void Write(std::string line);
    void WriterLoop();

    using Clock = std::chrono::steady_clock;
    Clock::time_point start_ = Clock::now();
    std::uint64_t lines_ = 0;
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::pair<std::uint64_t, Clock::time_point>> pending_;

    std::FILE* file_ = nullptr;
    std::mutex queueLock_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    bool quit_ = false;
    std::thread writer_;
};

}  // namespace vboard
