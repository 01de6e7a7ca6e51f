#include "gbk_wide.h"

#include <climits>

namespace afx::win32 {
namespace {
constexpr UINT kGbkCodePage = 936;

int Length(size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }
}  // namespace

std::wstring WideFromGbk(std::string_view gbk) {
    if (gbk.empty()) return {};
    const int n = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), Length(gbk.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), Length(gbk.size()), out.data(), n);
    return out;
}

CString GbkFromWide(std::wstring_view text) {
    if (text.empty()) return CString();
    const int n =
        WideCharToMultiByte(kGbkCodePage, 0, text.data(), Length(text.size()), nullptr, 0, "?", nullptr);
    if (n <= 0) return CString();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, text.data(), Length(text.size()), out.data(), n, "?", nullptr);
    return CString(std::string_view(out));
}

}  // namespace afx::win32
