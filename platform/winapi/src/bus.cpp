#include "bus.h"

#include <atomic>
#include <mutex>
#include <variant>

#include "board_socket.h"
#include "connection.h"
#include "diagnostics.h"
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
    if (!vbus::WriteMessageWithin(*stream, vbus::Hello{vbus::kProtocolVersion, purpose, path},
                                  static_cast<unsigned>(AnswerLimit().count())))
        return std::nullopt;
    // The WELCOME is read with a receive deadline on the socket; later frames are read by the
    // completion thread, which never blocks.
    std::string why;
    const auto limit = AnswerLimit();
    const auto start = std::chrono::steady_clock::now();
    stream->SetReceiveTimeout(static_cast<unsigned>(limit.count()));
    std::optional<vbus::Message> answer = vbus::ReadMessage(*stream, why);
    stream->SetReceiveTimeout(0);
    if (!answer && std::chrono::steady_clock::now() - start >= limit) why = "did not answer HELLO in time";
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

}  // namespace winapi_impl

namespace standin {

std::string BusDirectory() { return winapi_impl::BusDirectory(); }

void SetBoardAnswerLimit(unsigned milliseconds) { winapi_impl::answerLimitMs.store(milliseconds); }

void ShowDiagnostics(bool on) { winapi_impl::ShowDiagnostics(on); }

std::size_t CompletionThreadsStarted() { return winapi_impl::CompletionThreadsStarted(); }

void SetBusDirectory(std::string directory) {
    auto& o = winapi_impl::Override();
    std::lock_guard<std::mutex> hold(o.lock);
    o.directory = std::move(directory);
}

}  // namespace standin
