// CString: a byte string in the program's multi-byte code page.
//
// The tools are compiled with the Simplified Chinese code page (GBK) as their
// execution character set, so every CString holds GBK bytes, as on a Chinese
// Windows: GetLength() counts bytes and a Chinese character counts 2. The
// backend converts to and from the window system's text at its boundary.
//
// A CString is a value; it is not safe to change one object from two threads.
// Unlike the original, a CString cannot be passed to "%s" through "..." (the
// compiler refuses it); cast it with (LPCSTR) as the original asks anyway.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <string_view>

class CString {
  public:
    CString() = default;
    CString(LPCSTR text);  // NOLINT: implicit on purpose, as in the original
    CString(const char* bytes, int length);
    CString(char ch, int repeat = 1);
    explicit CString(std::string_view bytes) : s_(bytes) {}

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }

    char GetAt(int index) const;  // index must lie in [0, GetLength())
    void SetAt(int index, char ch);
    char operator[](int index) const { return GetAt(index); }

    operator LPCSTR() const { return s_.c_str(); }  // NOLINT: implicit on purpose
    const std::string& str() const { return s_; }

    CString& operator=(LPCSTR text);
    CString& operator=(char ch);
    CString& operator+=(const CString& other);
    CString& operator+=(LPCSTR text);
    CString& operator+=(char ch);

    // printf-style formatting; the result replaces the contents.
    void Format(LPCSTR format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(LPCSTR format, va_list args);

    // Inserts before the byte at index (clamped to [0, GetLength()]); returns the new length.
    int Insert(int index, LPCSTR text);
    int Insert(int index, char ch);
    // Removes count bytes from index (both clamped); returns the new length.
    int Delete(int index, int count = 1);
    // Replaces every occurrence; returns the number replaced.
    int Replace(LPCSTR oldText, LPCSTR newText);
    int Replace(char oldCh, char newCh);

    int Find(char ch, int start = 0) const;  // -1 when absent
    int Find(LPCSTR text, int start = 0) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    void TrimLeft();  // ASCII white space only: GBK trail bytes are never white space
    void TrimRight();
    void MakeUpper();  // ASCII letters only, lead/trail byte pairs left alone
    void MakeLower();

    int Compare(LPCSTR other) const;
    int CompareNoCase(LPCSTR other) const;

    // Raw buffer access: GetBuffer returns room for at least minLength bytes
    // plus a terminator; ReleaseBuffer(-1) takes the length up to the first NUL.
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

  private:
    std::string s_;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCSTR b);
bool operator<(const CString& a, const CString& b);
bool operator<(const CString& a, LPCSTR b);
bool operator<(LPCSTR a, const CString& b);
inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }
inline bool operator==(LPCSTR a, const CString& b) { return b == a; }
inline bool operator!=(LPCSTR a, const CString& b) { return !(b == a); }
inline bool operator>(const CString& a, const CString& b) { return b < a; }
inline bool operator<=(const CString& a, const CString& b) { return !(b < a); }
inline bool operator>=(const CString& a, const CString& b) { return !(a < b); }
inline bool operator>(const CString& a, LPCSTR b) { return b < a; }
inline bool operator<=(const CString& a, LPCSTR b) { return !(b < a); }
inline bool operator>=(const CString& a, LPCSTR b) { return !(a < b); }
inline bool operator>(LPCSTR a, const CString& b) { return b < a; }
inline bool operator<=(LPCSTR a, const CString& b) { return !(b < a); }
inline bool operator>=(LPCSTR a, const CString& b) { return !(a < b); }
