// Messages of the board bus (docs/PROTOCOL.md) and their encoding.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vbus {

constexpr std::uint16_t kProtocolVersion = 1;
constexpr std::uint32_t kMaxBytes = 65536;
// The longest frame body this version can have: a SUBMIT whose input and window are both full
// (type, id, op, code, outLength, then two `bytes`). A length prefix above it is refused at once.
constexpr std::uint32_t kMaxFrame = 1 + 4 + 1 + 4 + 4 + 2 * (4 + kMaxBytes);

using Bytes = std::vector<std::uint8_t>;
using Guid = std::array<std::uint8_t, 16>;

enum class Purpose : std::uint8_t { Probe = 0, Open = 1, Control = 2 };
enum class Op : std::uint8_t { Read = 1, Write = 2, Ioctl = 3 };

struct Hello {
    std::uint16_t version = kProtocolVersion;
    Purpose purpose = Purpose::Probe;
    std::string path;
};
struct Welcome {
    std::uint16_t version = kProtocolVersion;
    std::uint32_t error = 0;
    bool present = false;
    Guid interfaceGuid{};
    std::string devicePath;
};
struct Submit {
    std::uint32_t id = 0;
    Op op = Op::Read;
    std::uint32_t code = 0;
    std::uint32_t outLength = 0;
    Bytes input;
    Bytes window;
};
struct Accepted {
    std::uint32_t id = 0;
};
struct Done {
    std::uint32_t id = 0;
    std::uint32_t error = 0;
    std::uint32_t information = 0;
    Bytes output;
    Bytes window;
};
struct Cancel {
    std::uint32_t id = 0;
};
struct Command {
    std::string text;
};
struct Reply {
    bool ok = false;
    std::string text;
};

using Message = std::variant<Hello, Welcome, Submit, Accepted, Done, Cancel, Command, Reply>;

// Encodes a message as one whole frame, length prefix included.
Bytes Encode(const Message& message);

// Decodes the body of one frame (type byte and payload, without the length prefix).
// On a malformed body returns nothing and says why in `why`.
std::optional<Message> Decode(const std::uint8_t* body, std::size_t size, std::string& why);

const char* MessageName(const Message& message);

}  // namespace vbus
