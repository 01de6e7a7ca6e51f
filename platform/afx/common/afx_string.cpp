#include <afx_string.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

enum class End { Left, Right };

// Removes ASCII white space at one end of s; GBK trail bytes (0x40..0xFE) never are.
void TrimAsciiSpace(std::string& s, End end) {
    constexpr const char* kSpace = " \t\n\r\v\f";
    if (end == End::Left)
        s.erase(0, s.find_first_not_of(kSpace));
    else
        s.erase(s.find_last_not_of(kSpace) + 1);  // npos + 1 is 0: nothing but white space
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

CString::CString(LPCSTR text) : s_(text ? text : "") {}

CString::CString(const char* bytes, int length)
    : s_(bytes && length > 0 ? std::string(bytes, static_cast<size_t>(length)) : std::string()) {}

CString::CString(char ch, int repeat) : s_(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}

char CString::GetAt(int index) const { return s_.at(static_cast<size_t>(index)); }

void CString::SetAt(int index, char ch) { s_.at(static_cast<size_t>(index)) = ch; }

CString& CString::operator=(LPCSTR text) {
    s_ = text ? text : "";
    return *this;
}

CString& CString::operator=(char ch) {
    s_.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    s_ += other.s_;
    return *this;
}

CString& CString::operator+=(LPCSTR text) {
    if (text) s_ += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    s_ += ch;
    return *this;
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCSTR format, va_list args) {
    if (!format) {
        s_.clear();
        return;
    }
    va_list probe;
    va_copy(probe, args);
    int n = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (n < 0) {
        s_.clear();
        return;
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    s_ = std::move(out);
}

int CString::Insert(int index, LPCSTR text) {
    if (text) s_.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), text);
    return GetLength();
}

int CString::Insert(int index, char ch) {
    s_.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), 1, ch);
    return GetLength();
}

int CString::Delete(int index, int count) {
    index = Clamp(index, 0, GetLength());
    count = Clamp(count, 0, GetLength() - index);
    s_.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

int CString::Replace(LPCSTR oldText, LPCSTR newText) {
    if (!oldText || !*oldText) return 0;
    const std::string from(oldText), to(newText ? newText : "");
    int replaced = 0;
    for (size_t pos = s_.find(from); pos != std::string::npos; pos = s_.find(from, pos + to.size())) {
        s_.replace(pos, from.size(), to);
        ++replaced;
    }
    return replaced;
}

int CString::Replace(char oldCh, char newCh) {
    int replaced = 0;
    for (char& c : s_)
        if (c == oldCh) {
            c = newCh;
            ++replaced;
        }
    return replaced;
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    size_t pos = s_.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(LPCSTR text, int start) const {
    if (!text || start < 0 || start > GetLength()) return -1;
    size_t pos = s_.find(text, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const {
    return CString(s_.substr(0, static_cast<size_t>(Clamp(count, 0, GetLength()))));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = Clamp(first, 0, GetLength());
    count = Clamp(count, 0, GetLength() - first);
    return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    count = Clamp(count, 0, GetLength());
    return CString(s_.substr(s_.size() - static_cast<size_t>(count)));
}

void CString::TrimLeft() { TrimAsciiSpace(s_, End::Left); }

void CString::TrimRight() { TrimAsciiSpace(s_, End::Right); }

// A byte of 0x81..0xFE starts a double-byte character in GBK; its trail byte
// may fall in the ASCII letter range and must not be case-mapped.
void CString::MakeUpper() {
    for (size_t i = 0; i < s_.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s_[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            s_[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
}

void CString::MakeLower() {
    for (size_t i = 0; i < s_.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s_[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            s_[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
}

int CString::Compare(LPCSTR other) const {
    int r = std::strcmp(s_.c_str(), other ? other : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(LPCSTR other) const {
    const char* a = s_.c_str();
    const char* b = other ? other : "";
    for (;; ++a, ++b) {
        char x = AsciiLower(*a), y = AsciiLower(*b);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
        if (!x) return 0;
    }
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) s_.resize(static_cast<size_t>(minLength));
    return s_.data();
}

char* CString::GetBufferSetLength(int length) {
    s_.resize(static_cast<size_t>(std::max(length, 0)));
    return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        s_.resize(std::strlen(s_.c_str()));
    } else {
        s_.resize(static_cast<size_t>(std::min(newLength, GetLength())));
    }
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, LPCSTR b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(LPCSTR a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
bool operator<(const CString& a, LPCSTR b) { return a.Compare(b) < 0; }
bool operator<(LPCSTR a, const CString& b) { return b.Compare(a) > 0; }
