#include "vbus/frame_reader.h"

#include <algorithm>

namespace vbus {

bool FrameReader::Feed(const std::uint8_t* data, std::size_t size, const Handler& handler, std::string& why) {
    if (broken_) return false;
    while (size > 0) {
        if (prefixHave_ < sizeof prefix_) {
            const std::size_t n = std::min(size, sizeof prefix_ - prefixHave_);
            std::copy(data, data + n, prefix_ + prefixHave_);
            prefixHave_ += n;
            data += n;
            size -= n;
            if (prefixHave_ < sizeof prefix_) break;
            length_ = static_cast<std::uint32_t>(prefix_[0]) | static_cast<std::uint32_t>(prefix_[1]) << 8 |
                      static_cast<std::uint32_t>(prefix_[2]) << 16 |
                      static_cast<std::uint32_t>(prefix_[3]) << 24;
            if (length_ < 1 || length_ > kMaxFrame) {
                why = "frame length " + std::to_string(length_) + " out of range";
                broken_ = true;
                return false;
            }
        }
        // The body grows with what has arrived, never to more than the frame's length.
        const std::size_t n = std::min<std::size_t>(size, length_ - body_.size());
        body_.insert(body_.end(), data, data + n);
        data += n;
        size -= n;
        if (body_.size() < length_) break;

        auto message = Decode(body_.data(), body_.size(), why);
        prefixHave_ = 0;
        body_.clear();
        if (body_.capacity() > 4096) Bytes().swap(body_);  // a long frame's room is not kept
        if (!message || !handler(*message, why)) {
            broken_ = true;
            return false;
        }
    }
    return true;
}

}  // namespace vbus
