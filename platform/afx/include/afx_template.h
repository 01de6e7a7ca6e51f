// Dialog templates and images as data, and the program's resource table.
//
// One description per dialog serves every backend: the Qt backend renders it
// directly, and a Windows build can emit the resource script from it. Texts
// are in the program's code page (GBK in the tools). Positions and sizes are
// in dialog units; styles are the Windows WS_/ES_/SS_/BS_ bits.
//
// The helpers below mirror the resource-script statements of the same names
// and add the same implied styles, so a template reads like the script:
//
//     static const afx::ControlTemplate kAboutControls[] = {
//         afx::Icon(128, IDC_STATIC, 11, 17, 20, 20),
//         afx::LText("Varnel 1.0 版", IDC_STATIC, 40, 10, 119, 8, SS_NOPREFIX),
//         afx::DefPushButton("确定", IDOK, 178, 7, 50, 14, WS_GROUP),
//     };
//     static const afx::DialogTemplate kAbout{
//         .id = 100, .caption = "关于 Varnel",
//         .style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
//         .x = 0, .y = 0, .cx = 235, .cy = 55, .controls = kAboutControls};
#pragma once

#include <afx_winsys.h>

#include <cstdint>
#include <span>

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

namespace afx {

// Window class of a control.
enum class ControlClass { Button, Edit, Static };

struct ControlTemplate {
    ControlClass cls = ControlClass::Static;
    int id = IDC_STATIC;    // IDC_STATIC (-1) for controls the code never addresses
    const char* text = "";  // GBK; ignored by image statics
    DWORD style = 0;        // WS_CHILD | WS_VISIBLE are implied
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    int image = 0;                       // SS_ICON / SS_BITMAP statics: resource number of the image
};

struct DialogTemplate {
    int id = 0;
    const char* caption = "";  // GBK
    DWORD style = 0;           // WS_/DS_ bits
    DWORD exStyle = 0;
    const char* fontFace = "\xCB\xCE\xCC\xE5";  // GBK; default "宋体" (as bytes: right in any TU)
    int fontPointSize = 9;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units; cx/cy is the client area
    std::span<const ControlTemplate> controls = {};
};

// ---- resource-script style helpers ------------------------------------------------
constexpr ControlTemplate Control(const char* text, int id, ControlClass cls, DWORD style, short x, short y,
                                  short cx, short cy, DWORD exStyle = 0) {
    return ControlTemplate{cls, id, text, style, exStyle, x, y, cx, cy, 0};
}
constexpr ControlTemplate LText(const char* text, int id, short x, short y, short cx, short cy,
                                DWORD style = 0) {
    return Control(text, id, ControlClass::Static, SS_LEFT | WS_GROUP | style, x, y, cx, cy);
}
constexpr ControlTemplate CText(const char* text, int id, short x, short y, short cx, short cy,
                                DWORD style = 0) {
    return Control(text, id, ControlClass::Static, SS_CENTER | WS_GROUP | style, x, y, cx, cy);
}
constexpr ControlTemplate RText(const char* text, int id, short x, short y, short cx, short cy,
                                DWORD style = 0) {
    return Control(text, id, ControlClass::Static, SS_RIGHT | WS_GROUP | style, x, y, cx, cy);
}
constexpr ControlTemplate EditText(int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return Control("", id, ControlClass::Edit, ES_LEFT | WS_BORDER | WS_TABSTOP | style, x, y, cx, cy);
}
constexpr ControlTemplate PushButton(const char* text, int id, short x, short y, short cx, short cy,
                                     DWORD style = 0) {
    return Control(text, id, ControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP | style, x, y, cx, cy);
}
constexpr ControlTemplate DefPushButton(const char* text, int id, short x, short y, short cx, short cy,
                                        DWORD style = 0) {
    return Control(text, id, ControlClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP | style, x, y, cx, cy);
}
constexpr ControlTemplate GroupBox(const char* text, int id, short x, short y, short cx, short cy,
                                   DWORD style = 0) {
    return Control(text, id, ControlClass::Button, BS_GROUPBOX | style, x, y, cx, cy);
}
constexpr ControlTemplate Icon(int iconId, int id, short x, short y, short cx, short cy, DWORD style = 0) {
    ControlTemplate c = Control("", id, ControlClass::Static, SS_ICON | style, x, y, cx, cy);
    c.image = iconId;
    return c;
}
constexpr ControlTemplate Bitmap(int bitmapId, int id, short x, short y, short cx, short cy,
                                 DWORD style = 0) {
    ControlTemplate c = Control("", id, ControlClass::Static, SS_BITMAP | style, x, y, cx, cy);
    c.image = bitmapId;
    return c;
}

// ---- images ----------------------------------------------------------------------
// A palette image, laid out as an .ico or .bmp stores it, so that a build step
// can write those files from the same data.
struct Image {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;                         // 4 (16 colours) or 8 (256 colours)
    std::span<const std::uint32_t> palette = {};  // 0x00RRGGBB, at most 1 << bitsPerPixel entries
    std::span<const std::uint8_t> pixels = {};    // width * height palette indices, top row first
    std::span<const std::uint8_t> mask = {};      // icons: width * height, 1 = transparent; empty = opaque
};

// True when the sizes agree and every pixel names a palette entry.
bool IsValid(const Image& image);

struct IconResource {
    int id = 0;
    std::span<const Image> images = {};  // e.g. 32 x 32 and 16 x 16
};

struct BitmapResource {
    int id = 0;
    Image image;
};

// ---- the program's resources ----------------------------------------------------------
struct ResourceTable {
    std::span<const DialogTemplate> dialogs = {};
    std::span<const IconResource> icons = {};
    std::span<const BitmapResource> bitmaps = {};
};

// Registers a table for the lifetime of the object. A program defines one
// static instance next to its resources:
//
//     static const afx::ResourceRegistration kResources{{.dialogs = kDialogs, .icons = kIcons}};
//
// Everything the table points to must outlive the registration. When
// several tables are registered (tests), lookups search them newest first.
class ResourceRegistration {
  public:
    explicit ResourceRegistration(const ResourceTable& table);
    ~ResourceRegistration();
    ResourceRegistration(const ResourceRegistration&) = delete;
    ResourceRegistration& operator=(const ResourceRegistration&) = delete;

  private:
    ResourceTable table_;  // a copy: the spans point into the program's static data
};

// Lookups by resource number; nullptr when no registered table has it.
const DialogTemplate* FindDialog(int id);
const IconResource* FindIcon(int id);
const BitmapResource* FindBitmap(int id);

// The window class a control template makes: "Button", "Edit" or "Static".
const char* ControlClassName(ControlClass cls);

}  // namespace afx
