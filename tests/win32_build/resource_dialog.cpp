// Compiled with GBK as the execution character set, as the tools are. Texts a resource script
// must escape: quotes, a backslash, a line break, a prefix character, and GBK characters whose
// second byte is a backslash ("淺", "抃": 0x5C), which a compiler reading GBK would take
// for an escape. Every control class, an image static without text, a control without an id.
#include "resource_dialog.h"

#include <afx_template.h>

using namespace resource_test;

namespace {

const afx::ControlTemplate kControls[] = {
    afx::LText("\"引号\" 与 \\ 反斜杠\n第二行 淺抃", kQuoted, 7, 7, 200, 20),
    afx::EditText(kEdit, 7, 30, 100, 12, ES_AUTOHSCROLL),
    afx::PushButton("&确定", kButton, 120, 30, 50, 14),
    afx::GroupBox(" 分组 ", IDC_STATIC, 5, 50, 200, 30),
    afx::Icon(128, IDC_STATIC, 11, 60, 20, 20),
};

const afx::DialogTemplate kDialogs[] = {{
    .id = kDialog,
    .caption = "资源 \"901\"",
    .style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    .x = 3,
    .y = 4,
    .cx = 215,
    .cy = 90,
    .controls = kControls,
}};

const afx::ResourceRegistration kResources{{.dialogs = kDialogs}};

}  // namespace
