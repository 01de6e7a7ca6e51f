#include <chrono>

#include "vbus/poll.h"
#include "vbus/stream.h"

namespace vbus {

bool WriteMessageWithin(Stream& stream, const Message& message, unsigned limitMs) {
    const Bytes frame = Encode(message);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const std::ptrdiff_t n = stream.SendSome(frame.data() + sent, frame.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n != Stream::kWouldBlock) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        std::vector<PollItem> items{{stream.Native(), false, true}};
        if (!Poll(items, static_cast<int>(left))) return false;
    }
    return true;
}

bool WriteMessage(Stream& stream, const Message& message) {
    Bytes frame = Encode(message);
    return stream.SendAll(frame.data(), frame.size());
}

std::optional<Message> ReadMessage(Stream& stream, std::string& why) {
    why.clear();
    std::uint8_t prefix[4];
    if (!stream.ReceiveAll(prefix, sizeof prefix)) return std::nullopt;
    std::uint32_t length =
        static_cast<std::uint32_t>(prefix[0]) | (static_cast<std::uint32_t>(prefix[1]) << 8) |
        (static_cast<std::uint32_t>(prefix[2]) << 16) | (static_cast<std::uint32_t>(prefix[3]) << 24);
    if (length < 1 || length > kMaxFrame) {
        why = "frame length " + std::to_string(length) + " out of range";
        return std::nullopt;
    }
    Bytes body(length);
    if (!stream.ReceiveAll(body.data(), body.size())) {
        why = "connection ended inside a frame";
        return std::nullopt;
    }
    return Decode(body.data(), body.size(), why);
}

}  // namespace vbus
