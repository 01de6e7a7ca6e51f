// The frame reader on an arbitrary byte stream: frames are read one after another until the
// stream ends or a frame is refused; every frame read decodes again from its own encoding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vbus/stream.h"

namespace {

// A stream whose peer sent exactly the fuzzer's bytes and then closed.
class ReplayStream final : public vbus::Stream {
  public:
    ReplayStream(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    bool SendAll(const std::uint8_t*, std::size_t) override { return true; }
    bool ReceiveAll(std::uint8_t* out, std::size_t size) override {
        const std::size_t n = std::min(size, left_);
        if (n > 0) std::memcpy(out, data_, n);
        data_ += n;
        left_ -= n;
        return n == size;
    }
    void Shutdown() override { left_ = 0; }
    std::string PeerName() const override { return "fuzz"; }

  private:
    const std::uint8_t* data_;
    std::size_t left_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplayStream stream(data, size);
    std::string why;
    while (auto message = vbus::ReadMessage(stream, why)) {
        const vbus::Bytes frame = vbus::Encode(*message);
        if (frame.size() > 4 + vbus::kMaxFrame) std::abort();
        if (!vbus::Decode(frame.data() + 4, frame.size() - 4, why)) std::abort();
    }
    return 0;
}
