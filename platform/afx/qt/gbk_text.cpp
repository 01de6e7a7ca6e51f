// GBK <-> UTF-16 through glibc's iconv, whatever the host's locale.
#include "gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace afx::qt {
namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in; onInvalid(in, left, out) handles an unconvertible input
    // sequence and returns the number of input bytes to skip.
    template <typename OnInvalid>
    std::string Run(const std::string& in, OnInvalid onInvalid) {
        std::string out;
        char buffer[256];
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                size_t skip = onInvalid(src, left, out);
                src += skip;
                left -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

size_t Utf8SequenceLength(unsigned char lead, size_t left) {
    size_t n = 1;
    if (lead >= 0xF0)
        n = 4;
    else if (lead >= 0xE0)
        n = 3;
    else if (lead >= 0xC0)
        n = 2;
    return n < left ? n : left;
}

}  // namespace

QString FromGbk(const CString& text) {
    if (text.IsEmpty()) return QString();
    Converter conv("UTF-8", "GBK");
    if (!conv.ok()) return QString::fromLatin1(text.str().data(), text.GetLength());
    std::string utf8 = conv.Run(text.str(), [](const char*, size_t, std::string& out) {
        out += "\xEF\xBF\xBD";  // U+FFFD
        return size_t{1};
    });
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

CString ToGbk(const QString& text) {
    if (text.isEmpty()) return CString();
    const QByteArray utf8 = text.toUtf8();
    Converter conv("GBK", "UTF-8");
    if (!conv.ok()) return CString(utf8.constData(), static_cast<int>(utf8.size()));
    std::string gbk = conv.Run(std::string(utf8.constData(), static_cast<size_t>(utf8.size())),
                               [](const char* at, size_t left, std::string& out) {
                                   out += '?';
                                   return Utf8SequenceLength(static_cast<unsigned char>(*at), left);
                               });
    return CString(std::string_view(gbk));
}

}  // namespace afx::qt
