#include "vbus/protocol.h"

#include <cstdio>
#include <cstring>

namespace vbus {
namespace {

enum Type : std::uint8_t {
    kHello = 0x01,
    kSubmit = 0x02,
    kCancel = 0x03,
    kCommand = 0x04,
    kWelcome = 0x81,
    kAccepted = 0x82,
    kDone = 0x83,
    kReply = 0x84,
};

class Writer {
  public:
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) {
        for (int i = 0; i < 2; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Str(const std::string& s) {
        std::size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
        U16(static_cast<std::uint16_t>(n));
        out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void Blob(const Bytes& b) {
        std::size_t n = b.size() > kMaxBytes ? kMaxBytes : b.size();
        U32(static_cast<std::uint32_t>(n));
        out_.insert(out_.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void Raw(const std::uint8_t* p, std::size_t n) { out_.insert(out_.end(), p, p + n); }
    Bytes Finish() {
        Bytes frame(4);
        auto n = static_cast<std::uint32_t>(out_.size());
        for (int i = 0; i < 4; ++i) frame[i] = static_cast<std::uint8_t>(n >> (8 * i));
        frame.insert(frame.end(), out_.begin(), out_.end());
        return frame;
    }

  private:
    Bytes out_;
};

class Reader {
  public:
    Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool U8(std::uint8_t& v) {
        if (!Need(1)) return false;
        v = p_[pos_++];
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (!Need(2)) return false;
        v = static_cast<std::uint16_t>(p_[pos_] | (p_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (!Need(4)) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool Str(std::string& s) {
        std::uint16_t n = 0;
        if (!U16(n) || !Need(n)) return false;
        s.assign(reinterpret_cast<const char*>(p_ + pos_), n);
        pos_ += n;
        return true;
    }
    bool Blob(Bytes& b) {
        std::uint32_t n = 0;
        if (!U32(n) || n > kMaxBytes || !Need(n)) return false;
        b.assign(p_ + pos_, p_ + pos_ + n);
        pos_ += n;
        return true;
    }
    bool Raw(std::uint8_t* out, std::size_t n) {
        if (!Need(n)) return false;
        std::memcpy(out, p_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool AtEnd() const { return pos_ == n_; }

  private:
    bool Need(std::size_t k) const { return n_ - pos_ >= k; }
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

struct EncodeVisitor {
    Writer& w;
    void operator()(const Hello& m) {
        w.U8(kHello);
        w.U16(m.version);
        w.U8(static_cast<std::uint8_t>(m.purpose));
        w.Str(m.path);
    }
    void operator()(const Welcome& m) {
        w.U8(kWelcome);
        w.U16(m.version);
        w.U32(m.error);
        w.U8(m.present ? 1 : 0);
        w.Raw(m.interfaceGuid.data(), m.interfaceGuid.size());
        w.Str(m.devicePath);
    }
    void operator()(const Submit& m) {
        w.U8(kSubmit);
        w.U32(m.id);
        w.U8(static_cast<std::uint8_t>(m.op));
        w.U32(m.code);
        w.U32(m.outLength);
        w.Blob(m.input);
        w.Blob(m.window);
    }
    void operator()(const Accepted& m) {
        w.U8(kAccepted);
        w.U32(m.id);
    }
    void operator()(const Done& m) {
        w.U8(kDone);
        w.U32(m.id);
        w.U32(m.error);
        w.U32(m.information);
        w.Blob(m.output);
        w.Blob(m.window);
    }
    void operator()(const Cancel& m) {
        w.U8(kCancel);
        w.U32(m.id);
    }
    void operator()(const Command& m) {
        w.U8(kCommand);
        w.Str(m.text);
    }
    void operator()(const Reply& m) {
        w.U8(kReply);
        w.U8(m.ok ? 1 : 0);
        Bytes text(m.text.begin(), m.text.end());
        w.Blob(text);
    }
};

std::optional<Message> DecodeBody(std::uint8_t type, Reader& r, std::string& why) {
    switch (type) {
        case kHello: {
            Hello m;
            std::uint8_t purpose = 0;
            if (!r.U16(m.version) || !r.U8(purpose) || !r.Str(m.path)) break;
            if (purpose > 2) {
                why = "HELLO with unknown purpose " + std::to_string(purpose);
                return std::nullopt;
            }
            m.purpose = static_cast<Purpose>(purpose);
            if (r.AtEnd()) return m;
            break;
        }
        case kWelcome: {
            Welcome m;
            std::uint8_t present = 0;
            if (!r.U16(m.version) || !r.U32(m.error) || !r.U8(present) ||
                !r.Raw(m.interfaceGuid.data(), m.interfaceGuid.size()) || !r.Str(m.devicePath))
                break;
            m.present = present != 0;
            if (r.AtEnd()) return m;
            break;
        }
        case kSubmit: {
            Submit m;
            std::uint8_t op = 0;
            if (!r.U32(m.id) || !r.U8(op) || !r.U32(m.code) || !r.U32(m.outLength) || !r.Blob(m.input) ||
                !r.Blob(m.window))
                break;
            if (op < 1 || op > 3) {
                why = "SUBMIT with unknown operation " + std::to_string(op);
                return std::nullopt;
            }
            if (m.outLength > kMaxBytes) {
                why = "SUBMIT asks for " + std::to_string(m.outLength) + " bytes";
                return std::nullopt;
            }
            m.op = static_cast<Op>(op);
            if (r.AtEnd()) return m;
            break;
        }
        case kAccepted: {
            Accepted m;
            if (r.U32(m.id) && r.AtEnd()) return m;
            break;
        }
        case kDone: {
            Done m;
            if (r.U32(m.id) && r.U32(m.error) && r.U32(m.information) && r.Blob(m.output) &&
                r.Blob(m.window) && r.AtEnd())
                return m;
            break;
        }
        case kCancel: {
            Cancel m;
            if (r.U32(m.id) && r.AtEnd()) return m;
            break;
        }
        case kCommand: {
            Command m;
            if (r.Str(m.text) && r.AtEnd()) return m;
            break;
        }
        case kReply: {
            Reply m;
            std::uint8_t ok = 0;
            Bytes text;
            if (r.U8(ok) && r.Blob(text) && r.AtEnd()) {
                m.ok = ok != 0;
                m.text.assign(text.begin(), text.end());
                return m;
            }
            break;
        }
        default: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02x", type);
            why = std::string("unknown frame type ") + hex;
            return std::nullopt;
        }
    }
    why = "malformed payload";
    return std::nullopt;
}

}  // namespace

Bytes Encode(const Message& message) {
    Writer w;
    std::visit(EncodeVisitor{w}, message);
    return w.Finish();
}

std::optional<Message> Decode(const std::uint8_t* body, std::size_t size, std::string& why) {
    why.clear();
    if (size < 1) {
        why = "empty frame";
        return std::nullopt;
    }
    Reader r(body + 1, size - 1);
    auto m = DecodeBody(body[0], r, why);
    if (!m && why == "malformed payload") {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", body[0]);
        why = std::string("malformed payload in frame type ") + hex;
    }
    return m;
}

const char* MessageName(const Message& message) {
    static const char* const kNames[] = {"HELLO", "WELCOME", "SUBMIT",  "ACCEPTED",
                                         "DONE",  "CANCEL",  "COMMAND", "REPLY"};
    return kNames[message.index()];
}

}  // namespace vbus
