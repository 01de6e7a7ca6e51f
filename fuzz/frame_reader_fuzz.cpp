// The frame readers on an arbitrary byte stream: the blocking one (ReadMessage) frame after frame
// until the stream ends or a frame is refused, and the incremental one (FrameReader, the event
// loops') fed the same bytes in pieces of varying size. Both must read the same frames, and every
// frame read decodes again from its own encoding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vbus/frame_reader.h"
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
    vbus::NativeSocket Native() const override { return -1; }
    std::ptrdiff_t ReceiveSome(std::uint8_t*, std::size_t) override { return kFailed; }
    std::ptrdiff_t SendSome(const std::uint8_t*, std::size_t size) override {
        return static_cast<std::ptrdiff_t>(size);
    }
    void SetReceiveTimeout(unsigned) override {}

  private:
    const std::uint8_t* data_;
    std::size_t left_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplayStream stream(data, size);
    std::string why;
    std::vector<vbus::Bytes> blocking;
    while (auto message = vbus::ReadMessage(stream, why)) {
        const vbus::Bytes frame = vbus::Encode(*message);
        if (frame.size() > 4 + vbus::kMaxFrame) std::abort();
        if (!vbus::Decode(frame.data() + 4, frame.size() - 4, why)) std::abort();
        blocking.push_back(frame);
    }

    vbus::FrameReader reader;
    std::vector<vbus::Bytes> incremental;
    const auto take = [&](vbus::Message& message, std::string&) {
        incremental.push_back(vbus::Encode(message));
        return true;
    };
    std::size_t at = 0, piece = 1;
    while (at < size) {
        const std::size_t n = std::min(piece, size - at);
        if (!reader.Feed(data + at, n, take, why)) break;
        if (reader.Held() > 4 + vbus::kMaxFrame) std::abort();
        at += n;
        piece = piece * 3 % 1021 + 1;  // pieces of many sizes, the same for the same input
    }
    if (incremental != blocking) std::abort();
    return 0;
}
