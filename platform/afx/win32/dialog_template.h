// A framework dialog template as the in-memory extended dialog template
// (DLGTEMPLATEEX) that DialogBoxIndirectParamW takes.
#pragma once

#include <afx_template.h>

#include <vector>

namespace afx::win32 {

// Every field as the template says: styles (plus DS_SETFONT, which the font entry
// needs), extended styles, ids, rectangles in dialog units, texts in UTF-16; the font
// with the Chinese (GB2312) character set, so that the face is found on any locale.
// Controls get WS_CHILD | WS_VISIBLE, as a resource script implies, and come in
// template order, which is the tab order. Image statics carry no text: their
// images are set once the dialog exists. The buffer is DWORD-aligned.
std::vector<WORD> BuildDialogTemplate(const afx::DialogTemplate& tmpl);

}  // namespace afx::win32
