// A board's loopback TCP endpoint, for clients that cannot use UNIX sockets (docs/PROTOCOL.md,
// "Loopback TCP"). The board listens on 127.0.0.1 and publishes its port and a random secret in
// board-N.tcp, readable by its owner only; a client proves it may talk by sending the secret
// before its first frame.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vbus/stream.h"

namespace vbus {

using Secret = std::array<std::uint8_t, 32>;

struct TcpEndpoint {
    std::uint16_t port = 0;
    Secret secret{};
};

// A fresh secret from the system's random source.
Secret NewSecret();

// The endpoint file's text ("port N" and "secret <64 hex digits>", one line each) and back.
// Parsing returns nothing for anything else.
std::string FormatTcpEndpoint(const TcpEndpoint& endpoint);
std::optional<TcpEndpoint> ParseTcpEndpoint(const std::string& text);

// Writes the endpoint file atomically, owner-only; false when it cannot.
bool PublishTcpEndpoint(const std::string& path, const TcpEndpoint& endpoint);
std::optional<TcpEndpoint> ReadTcpEndpoint(const std::string& path);

// The client's side of the preamble.
bool SendSecret(Stream& stream, const Secret& secret);
// The board's side: reads the preamble and compares it with `secret` in constant time. False,
// with the reason in `why`, when the peer sent another secret or closed before sending one.
bool ReceiveSecret(Stream& stream, const Secret& secret, std::string& why);

// Connects to the board in `slot` of the bus `dir` over its published endpoint and sends the
// secret; nothing when the board has no endpoint file or does not answer on it.
std::unique_ptr<Stream> ConnectTcpBoard(const std::string& dir, int slot);

}  // namespace vbus
