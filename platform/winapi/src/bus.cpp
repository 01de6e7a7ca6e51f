#include "bus.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <variant>

#include "board_socket.h"
#include "vbus/bus_dir.h"
#include "winapi_standin.h"

namespace winapi_impl {
namespace {

struct BusOverride {
    std::mutex lock;
    std::string directory;
};

BusOverride& Override() {
    static BusOverride instance;
    return instance;
}

std::atomic<unsigned> answerLimitMs{0};
constexpr unsigned kDefaultAnswerLimitMs = 5000;

// Shuts a stream when the greeting on it takes longer than the answer limit, so that the
// blocked read of the WELCOME returns.
class GreetingDeadline {
  public:
    explicit GreetingDeadline(vbus::Stream& stream)
        : watcher_([this, &stream, limit = AnswerLimit()] {
              std::unique_lock<std::mutex> hold(lock_);
              if (!over_.wait_for(hold, limit, [this] { return finished_; })) {
                  expired_ = true;
                  stream.Shutdown();
              }
          }) {}
    ~GreetingDeadline() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            finished_ = true;
        }
        over_.notify_one();
        watcher_.join();
    }
    bool Expired() {
        std::lock_guard<std::mutex> hold(lock_);
        return expired_;
    }

  private:
    std::mutex lock_;
    std::condition_variable over_;
    bool finished_ = false;
    bool expired_ = false;
    std::thread watcher_;  // last: it uses the members above
};

}  // namespace

std::chrono::milliseconds AnswerLimit() {
    const unsigned ms = answerLimitMs.load();
    return std::chrono::milliseconds(ms == 0 ? kDefaultAnswerLimitMs : ms);
}

std::string BusDirectory() {
    auto& o = Override();
    std::lock_guard<std::mutex> hold(o.lock);
    return o.directory.empty() ? vbus::DefaultBusDirectory() : o.directory;
}

std::optional<Greeting> Greet(const std::string& busDirectory, int slot, vbus::Purpose purpose,
                              const std::string& path) {
    auto stream = ConnectToBoard(busDirectory, slot);
    if (!stream) return std::nullopt;
    if (!vbus::WriteMessage(*stream, vbus::Hello{vbus::kProtocolVersion, purpose, path})) return std::nullopt;
    std::string why;
    std::optional<vbus::Message> answer;
    {
        GreetingDeadline deadline(*stream);
        answer = vbus::ReadMessage(*stream, why);
        if (deadline.Expired()) why = "did not answer HELLO in time";
    }
    if (!answer) {
        if (!why.empty()) LogProtocolFault(stream->PeerName(), why);
        return std::nullopt;
    }
    auto* welcome = std::get_if<vbus::Welcome>(&*answer);
    if (welcome == nullptr) {
        LogProtocolFault(stream->PeerName(),
                         std::string("answered HELLO with ") + vbus::MessageName(*answer));
        return std::nullopt;
    }
    if (welcome->version != vbus::kProtocolVersion) {
        LogProtocolFault(stream->PeerName(), "speaks protocol version " + std::to_string(welcome->version));
        return std::nullopt;
    }
    return Greeting{std::move(stream), std::move(*welcome)};
}

void LogProtocolFault(const std::string& peer, const std::string& fault) {
    std::fprintf(stderr, "winapi: board %s: %s; connection closed\n", peer.c_str(), fault.c_str());
}

}  // namespace winapi_impl

namespace standin {

std::string BusDirectory() { return winapi_impl::BusDirectory(); }

void SetBoardAnswerLimit(unsigned milliseconds) { winapi_impl::answerLimitMs.store(milliseconds); }

void SetBusDirectory(std::string directory) {
    auto& o = winapi_impl::Override();
    std::lock_guard<std::mutex> hold(o.lock);
    o.directory = std::move(directory);
}

}  // namespace standin
