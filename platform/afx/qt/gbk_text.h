// Conversion between the program's GBK bytes and Qt's UTF-16 text.
#pragma once

#include <afx_string.h>

#include <QString>

namespace afx::qt {

// Bytes that are no GBK character become U+FFFD.
QString FromGbk(const CString& text);
// Characters GBK cannot hold become '?', as on Windows.
CString ToGbk(const QString& text);

}  // namespace afx::qt
