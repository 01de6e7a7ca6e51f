// The frame decoder on arbitrary frame bodies: it never reads outside the body, and whatever it
// accepts encodes back to a frame of the same size that decodes to the same message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vbus/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    const auto message = vbus::Decode(data, size, why);
    if (!message) {
        if (why.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const vbus::Bytes frame = vbus::Encode(*message);
    if (frame.size() != size + 4) std::abort();
    const auto again = vbus::Decode(frame.data() + 4, frame.size() - 4, why);
    if (!again || vbus::Encode(*again) != frame) std::abort();
    return 0;
}
