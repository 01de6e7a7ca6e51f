// Frames out of a byte stream that arrives in pieces of any size, for event loops. A frame's
// length is checked as soon as its prefix is complete, and its body is held as it arrives, so a
// peer that announces a long frame and sends little costs only what it has sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "vbus/protocol.h"

namespace vbus {

class FrameReader {
  public:
    // Called with each whole, well-formed frame in order; returning false stops the reading
    // (Feed then returns false with `why` as the handler left it).
    using Handler = std::function<bool(Message& message, std::string& why)>;

    // Takes `size` bytes. False once the stream is broken: a length out of range, a malformed
    // body (`why` says which), or a handler that said stop. The reader is then spent.
    bool Feed(const std::uint8_t* data, std::size_t size, const Handler& handler, std::string& why);

    // Bytes of an unfinished frame held now (prefix included).
    std::size_t Held() const { return prefixHave_ + body_.size(); }
    bool InsideFrame() const { return Held() > 0; }

  private:
    std::uint8_t prefix_[4] = {};
    std::size_t prefixHave_ = 0;
    std::uint32_t length_ = 0;
    Bytes body_;
    bool broken_ = false;
};

}  // namespace vbus
