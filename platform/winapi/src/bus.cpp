#include "bus.h"

#include <cstdio>
#include <mutex>
#include <variant>

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

}  // namespace

std::string BusDirectory() {
    auto& o = Override();
    std::lock_guard<std::mutex> hold(o.lock);
    return o.directory.empty() ? vbus::DefaultBusDirectory() : o.directory;
}

std::optional<Greeting> Greet(const std::string& busDirectory, int slot, vbus::Purpose purpose,
                              const std::string& path) {
    auto stream = vbus::ConnectUnix(vbus::SocketPath(busDirectory, slot));
    if (!stream) return std::nullopt;
    if (!vbus::WriteMessage(*stream, vbus::Hello{vbus::kProtocolVersion, purpose, path})) return std::nullopt;
    std::string why;
    auto answer = vbus::ReadMessage(*stream, why);
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

void SetBusDirectory(std::string directory) {
    auto& o = winapi_impl::Override();
    std::lock_guard<std::mutex> hold(o.lock);
    o.directory = std::move(directory);
}

}  // namespace standin
