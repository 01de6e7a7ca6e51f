#include "vbus/tcp_endpoint.h"

#include <fstream>
#include <random>
#include <sstream>
#include <string_view>

#include "vbus/bus_dir.h"

namespace vbus {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

Secret NewSecret() {
    std::random_device source;
    Secret secret;
    for (std::size_t i = 0; i < secret.size(); i += 4) {
        const std::uint32_t word = source();
        for (std::size_t k = 0; k < 4; ++k) secret[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    return secret;
}

std::string FormatTcpEndpoint(const TcpEndpoint& endpoint) {
    std::string text = "port " + std::to_string(endpoint.port) + "\nsecret ";
    for (std::uint8_t b : endpoint.secret) {
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 15];
    }
    return text + "\n";
}

std::optional<TcpEndpoint> ParseTcpEndpoint(const std::string& text) {
    std::istringstream in(text);
    std::string portLine, secretLine, rest;
    if (!std::getline(in, portLine) || !std::getline(in, secretLine) || std::getline(in, rest))
        return std::nullopt;
    constexpr std::string_view kPort = "port ", kSecret = "secret ";
    if (portLine.rfind(kPort, 0) != 0 || secretLine.rfind(kSecret, 0) != 0) return std::nullopt;

    const std::string digits = portLine.substr(kPort.size());
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned long port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;

    const std::string hex = secretLine.substr(kSecret.size());
    TcpEndpoint endpoint;
    if (hex.size() != 2 * endpoint.secret.size()) return std::nullopt;
    for (std::size_t i = 0; i < endpoint.secret.size(); ++i) {
        const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        endpoint.secret[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    endpoint.port = static_cast<std::uint16_t>(port);
    return endpoint;
}

bool PublishTcpEndpoint(const std::string& path, const TcpEndpoint& endpoint) {
    return ReplaceFileAtomically(path, FormatTcpEndpoint(endpoint));
}

std::optional<TcpEndpoint> ReadTcpEndpoint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(256, '\0');  // a valid file is far shorter
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseTcpEndpoint(text);
}

bool SendSecret(Stream& stream, const Secret& secret) { return stream.SendAll(secret.data(), secret.size()); }

bool ReceiveSecret(Stream& stream, const Secret& secret, std::string& why) {
    Secret sent;
    if (!stream.ReceiveAll(sent.data(), sent.size())) {
        why = "closed before sending the bus secret";
        return false;
    }
    // Every byte is compared, so the time taken tells nothing about how much was right.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < secret.size(); ++i)
        difference |= static_cast<std::uint8_t>(sent[i] ^ secret[i]);
    if (difference != 0) {
        why = "wrong bus secret";
        return false;
    }
    return true;
}

std::unique_ptr<Stream> ConnectTcpBoard(const std::string& dir, int slot) {
    const auto endpoint = ReadTcpEndpoint(TcpEndpointPath(dir, slot));
    if (!endpoint) return nullptr;
    auto stream = ConnectTcp(endpoint->port);
    if (!stream || !SendSecret(*stream, endpoint->secret)) return nullptr;
    return stream;
}

}  // namespace vbus
