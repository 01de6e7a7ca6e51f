// Text at the boundary to the window system: the program's GBK bytes to and from
// UTF-16 for the W functions, always through code page 936, so that the texts come out
// the same whatever the system's own code page is.
#pragma once

#include <afx_string.h>

#include <string>
#include <string_view>

namespace afx::win32 {

// Bytes GBK has no character for come out as U+FFFD or the code page's stand-in.
std::wstring WideFromGbk(std::string_view gbk);
// Characters GBK lacks come out as '?'.
CString GbkFromWide(std::wstring_view text);

}  // namespace afx::win32
