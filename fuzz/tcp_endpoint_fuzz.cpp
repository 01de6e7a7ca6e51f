// The loopback endpoint file: its parser takes only a port and a 64-digit hex secret, and what
// it takes formats back to the same endpoint.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vbus/tcp_endpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto endpoint = vbus::ParseTcpEndpoint(text);
    if (!endpoint) return 0;
    if (endpoint->port == 0) std::abort();
    const auto again = vbus::ParseTcpEndpoint(vbus::FormatTcpEndpoint(*endpoint));
    if (!again || again->port != endpoint->port || again->secret != endpoint->secret) std::abort();
    return 0;
}
