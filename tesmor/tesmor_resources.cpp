// Tesmor's dialogs, icon and lamp bitmaps.
#include "tesmor_resources.h"

#include <afxwin.h>

#include "lamp_art.h"
#include "tool_art.h"
#include "tool_shell.h"

namespace {

constexpr short kLampX[8] = {26, 60, 95, 131, 168, 205, 243, 278};
constexpr short kLampLabelX[8] = {20, 55, 90, 126, 163, 200, 238, 273};
constexpr const char* kLampLabels[8] = {"1", "2", "3", "4", "5", "6", "7", "8"};

const afx::ControlTemplate kMainControls[] = {
    afx::GroupBox(" 按键状态 ", IDC_STATIC, 9, 13, 297, 54),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 0, kLampX[0], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 1, kLampX[1], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 2, kLampX[2], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 3, kLampX[3], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 4, kLampX[4], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 5, kLampX[5], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 6, kLampX[6], 34, 10, 10),
    afx::Bitmap(IDB_IDLE_LAMP, IDC_LAMP1 + 7, kLampX[7], 34, 10, 10),
    afx::CText(kLampLabels[0], IDC_STATIC, kLampLabelX[0], 47, 21, 8),
    afx::CText(kLampLabels[1], IDC_STATIC, kLampLabelX[1], 47, 21, 8),
    afx::CText(kLampLabels[2], IDC_STATIC, kLampLabelX[2], 47, 21, 8),
    afx::CText(kLampLabels[3], IDC_STATIC, kLampLabelX[3], 47, 21, 8),
    afx::CText(kLampLabels[4], IDC_STATIC, kLampLabelX[4], 47, 21, 8),
    afx::CText(kLampLabels[5], IDC_STATIC, kLampLabelX[5], 47, 21, 8),
    afx::CText(kLampLabels[6], IDC_STATIC, kLampLabelX[6], 47, 21, 8),
    afx::CText(kLampLabels[7], IDC_STATIC, kLampLabelX[7], 47, 21, 8),
    afx::GroupBox(" 数值显示修改 ", IDC_STATIC, 9, 76, 297, 35),
    afx::LText("数值：", IDC_STATIC, 20, 92, 25, 8),
    afx::EditText(IDC_VALUE, 51, 90, 67, 12, ES_AUTOHSCROLL),
    afx::PushButton("修改", IDC_MODIFY, 131, 89, 37, 14),
    afx::LText("注意：请输入十六进制数。", IDC_STATIC, 203, 92, 96, 8),
    afx::LText("当前时间：", IDC_STATIC, 22, 121, 41, 8),
    afx::LText("00 : 00 : 00", IDC_CLOCK, 77, 121, 49, 8),
    afx::Control("", IDC_STATIC, afx::ControlClass::Static, SS_GRAYRECT, 0, 145, 318, 1),
    // The rectangles are the layout's; the texts are chosen to fit them.
    afx::LText("Tesmor 1.0 版 按键时钟工具", IDC_STATIC, 15, 151, 113, 8),
    afx::LText("帮助：数值为十六进制，最多 8 位；灯随实验板的按键亮灭", IDC_STATIC, 15, 164, 281, 8),
    afx::LText("本工具并非实验板厂商出品，不提供任何担保。", IDC_STATIC, 13, 179, 229, 8),
};

const afx::ControlTemplate kAboutControls[] = {
    afx::Icon(IDR_MAINFRAME, IDC_STATIC, 11, 17, 20, 20),
    afx::LText("Tesmor 1.0 版", IDC_STATIC, 40, 10, 119, 8, SS_NOPREFIX),
    afx::LText(kOwnershipNotice, IDC_STATIC, 40, 25, 119, 8),
    afx::DefPushButton("确定", IDOK, 178, 7, 50, 14, WS_GROUP),
};

const afx::DialogTemplate kDialogs[] = {
    {.id = IDD_MAIN,
     .caption = "Tesmor",
     .style = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
     .exStyle = WS_EX_APPWINDOW,
     .cx = 318,
     .cy = 191,
     .controls = kMainControls},
    {.id = IDD_ABOUTBOX,
     .caption = "关于 Tesmor",
     .style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
     .cx = 235,
     .cy = 55,
     .controls = kAboutControls},
};

// The icon and the bitmaps are referred to where they are defined, not copied, so the order
// in which the program's static objects are made does not matter.
const afx::ResourceRegistration kResources{
    {.dialogs = kDialogs, .icons = std::span(&kToolIcon, 1), .bitmaps = kLampBitmaps}};

}  // namespace
