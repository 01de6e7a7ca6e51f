// Varnel's resources: the main dialog 102, the about box 100 and the icon 128.
#include <afxwin.h>

#include "tool_art.h"
#include "tool_shell.h"
#include "varnel_controls.h"

namespace {

constexpr char kRuler[] = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F";

const afx::ControlTemplate kMainControls[] = {
    afx::GroupBox("", IDC_STATIC, 7, 0, 239, 27),
    afx::LText("注意：发送和接收都是以十六进制显示,请以十六进制格式输入,\n"
               "数据之间用空格隔开,例如:\"01 02 03 04 05 \"。",
               IDC_STATIC, 14, 8, 225, 17),

    // Read. The controls come in tab order: 1000, 1001, 1002, 1003, 1004, 1005, 1007, 1008, 1006.
    afx::GroupBox(" 读取E2PROM ", IDC_STATIC, 17, 31, 218, 106),
    afx::LText(kRuler, IDC_STATIC, 25, 42, 189, 8),
    afx::EditText(IDC_READ_DISPLAY, 23, 52, 205, 49, ES_MULTILINE | WS_VSCROLL),
    afx::LText("起始地址：", IDC_STATIC, 26, 108, 41, 8),
    afx::EditText(IDC_READ_START, 68, 105, 33, 12, ES_AUTOHSCROLL),
    afx::PushButton("读取数据", IDC_READ, 175, 112, 45, 13),

    // Write.
    afx::GroupBox(" 写入E2PROM ", IDC_STATIC, 18, 143, 218, 92),
    afx::LText(kRuler, IDC_STATIC, 26, 154, 189, 8),
    afx::EditText(IDC_WRITE_DATA, 24, 164, 205, 49, ES_MULTILINE | WS_VSCROLL),
    afx::LText("起始地址：", IDC_STATIC, 27, 220, 41, 8),
    afx::EditText(IDC_WRITE_START, 69, 217, 33, 12, ES_AUTOHSCROLL),
    afx::PushButton("写入数据", IDC_WRITE, 175, 217, 45, 13),

    afx::PushButton("清空", IDC_CLEAR_READ, 122, 112, 34, 13),
    afx::PushButton("清空", IDC_CLEAR_WRITE, 122, 217, 34, 13),
    afx::LText("长度：", IDC_STATIC, 42, 122, 24, 8),
    afx::EditText(IDC_READ_LENGTH, 68, 121, 33, 12, ES_AUTOHSCROLL),

    // Separator and footer.
    afx::Control("", IDC_STATIC, afx::ControlClass::Static, SS_GRAYRECT, 0, 241, 255, 1),
    // The rectangles are the layout's; the texts are chosen to fit them.
    afx::LText("Varnel 1.0 版：USB 实验板 E2PROM 读写工具", IDC_STATIC, 9, 248, 213, 8),
    afx::LText("帮助：数据为十六进制，起始地址和长度为十进制", IDC_STATIC, 10, 261, 182, 8),
    afx::LText("本工具并非实验板厂商出品，不提供任何担保。", IDC_STATIC, 14, 276, 226, 8),
};

const afx::ControlTemplate kAboutControls[] = {
    afx::Icon(IDR_MAINFRAME, IDC_STATIC, 11, 17, 20, 20),
    afx::LText("Varnel 1.0 版", IDC_STATIC, 40, 10, 119, 8, SS_NOPREFIX),
    afx::LText(kOwnershipNotice, IDC_STATIC, 40, 25, 119, 8),
    afx::DefPushButton("确定", IDOK, 178, 7, 50, 14, WS_GROUP),
};

const afx::DialogTemplate kDialogs[] = {
    {
        .id = IDD_MAIN,
        .caption = "     Varnel",
        .style = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
        .exStyle = WS_EX_APPWINDOW,
        .cx = 255,
        .cy = 289,
        .controls = kMainControls,
    },
    {
        .id = IDD_ABOUTBOX,
        .caption = "关于 Varnel",
        .style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
        .cx = 235,
        .cy = 55,
        .controls = kAboutControls,
    },
};

const afx::ResourceRegistration kResources{{
    .dialogs = kDialogs,
    .icons = std::span<const afx::IconResource>(&kToolIcon, 1),
}};

}  // namespace
