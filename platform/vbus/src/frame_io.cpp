#include "vbus/stream.h"

namespace vbus {

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
