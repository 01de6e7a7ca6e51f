// Looks at a running program's dialog from outside, as a person or a screen reader
// would, and compares it with the templates in the program's layout file: controls,
// ids, classes, styles, texts and rectangles (dialog units through the font's base
// units), enabled states, tab order and focus; then drives it: edit texts, a device
// change, the about box through the system command, closing. Also checks the images
// and the version resource inside an executable. Prints one line per check and exits
// with the number of failures. --patience multiplies every wait, for a program that runs
// emulated.
//
//   dialog_probe --layout FILE [--resources EXE --name NAME] [--patience N]
//                [--dialog ID --title TITLE [--disabled IDS] [--enabled IDS] [--focus ID]
//                 [--set ID=TEXT]... [--expect ID=TEXT]... [--device-change] [--about ID] [--close]]
#include <windows.h>
// After <windows.h>, which they build on.
#include <dbt.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "layout_file.h"
#include "outside_window.h"

namespace {

using outside::Children;
using outside::Report;
using outside::Send;
using outside::Text;
using outside::Utf8;
using probe::ControlLayout;
using probe::DialogLayout;

UINT g_patience = 1;  // --patience
UINT g_timeoutMs = 10000;

// A top-level dialog of the given title, waited for up to timeoutMs.
HWND WaitForDialog(const std::wstring& title, DWORD timeoutMs) {
    HWND h = nullptr;
    outside::WaitFor([&] { return (h = outside::FindDialog(title)) != nullptr; }, timeoutMs);
    return h;
}

bool WaitGone(HWND hwnd, DWORD timeoutMs) {
    return outside::WaitFor([&] { return !IsWindow(hwnd); }, timeoutMs);
}

struct BaseUnits {
    int cx = 0, cy = 0;
};

// As the dialog manager derives them from the template's font.
BaseUnits UnitsOf(const DialogLayout& d) {
    HDC dc = GetDC(nullptr);
    const int height = -MulDiv(d.points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font =
        CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, d.face.c_str());
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE size{};
    const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, alphabet, 52, &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return BaseUnits{(size.cx / 26 + 1) / 2, static_cast<int>(tm.tmHeight)};
}

RECT Pixels(const BaseUnits& u, int x, int y, int cx, int cy) {
    const int left = MulDiv(x, u.cx, 4), top = MulDiv(y, u.cy, 8);
    return RECT{left, top, left + MulDiv(cx, u.cx, 4), top + MulDiv(cy, u.cy, 8)};
}

RECT ChildRect(HWND dialog, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool IsImageStatic(const ControlLayout& c) {
    const DWORD type = c.style & SS_TYPEMASK;
    return c.cls == L"Static" && (type == SS_ICON || type == SS_BITMAP);
}

// Style bits the dialog manager or the control itself changes at run time.
DWORD StableStyle(const ControlLayout& c, DWORD style) {
    style &= ~static_cast<DWORD>(WS_DISABLED);
    if (c.cls == L"Button" && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)
        style &= ~static_cast<DWORD>(BS_DEFPUSHBUTTON);
    return style;
}

std::string RectText(const RECT& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%ld,%ld %ldx%ld)", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return buf;
}

// A text static (left, centred, right) shows all of its text in the dialogs' font as Windows
// has it: 宋体 (SimSun) 9 pt draws every GBK double-byte character two dialog-unit columns
// wide (8 units) and every ASCII one half that (4 units), whatever face stands in for it
// here. Each line must fit the control's width, and the lines its height (8 units a line).
void CheckTextFits(const ControlLayout& c) {
    int widest = 0, lines = 0;
    for (size_t start = 0; start <= c.text.size(); ++lines) {
        size_t end = c.text.find(L'\n', start);
        if (end == std::wstring::npos) end = c.text.size();
        int width = 0;
        for (size_t i = start; i < end; ++i) {
            const bool prefix = c.text[i] == L'&' && !(c.style & SS_NOPREFIX) && i + 1 < end;
            if (prefix) ++i;  // "&&" shows one "&"; "&x" shows "x" underlined
            if (c.text[i] != L'\r') width += c.text[i] < 0x80 ? 4 : 8;
        }
        widest = std::max(widest, width);
        start = end + 1;
    }
    const int room = std::max(1, (c.cy + 4) / 8);
    Report(widest <= c.cx && lines <= room,
           "  %d text fits: %d line(s) of at most %d units, room for %d of %d", c.id, lines, widest, room,
           c.cx);
}

void CheckDialog(HWND dialog, const DialogLayout& d, const probe::Layout& layout) {
    const BaseUnits u = UnitsOf(d);
    std::printf("     dialog %d: base units %d x %d\n", d.id, u.cx, u.cy);

    const DWORD frameBits = WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                            WS_MAXIMIZEBOX | DS_MODALFRAME;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    Report((style & frameBits) == (d.style & frameBits), "dialog %d style %08lx (template %08lx)", d.id,
           style & frameBits, d.style & frameBits);
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE));
    Report((exStyle & WS_EX_APPWINDOW) == (d.exStyle & WS_EX_APPWINDOW), "dialog %d application-window style",
           d.id);
    if (d.style & DS_MODALFRAME) Report(exStyle & WS_EX_DLGMODALFRAME, "dialog %d modal frame", d.id);

    RECT client{};
    GetClientRect(dialog, &client);
    const RECT want = Pixels(u, 0, 0, d.cx, d.cy);
    Report(client.right == want.right && client.bottom == want.bottom, "dialog %d client %s, template %s",
           d.id, RectText(client).c_str(), RectText(want).c_str());

    const std::vector<HWND> children = Children(dialog);
    Report(children.size() == d.controls.size(), "dialog %d has %zu controls (template %zu)", d.id,
           children.size(), d.controls.size());
    for (size_t i = 0; i < d.controls.size() && i < children.size(); ++i) {
        const ControlLayout& c = d.controls[i];
        const HWND h = children[i];
        const int id = GetDlgCtrlID(h);
        // Tab order follows the order of the windows: it must be the template's.
        const bool sameId = static_cast<short>(id) == static_cast<short>(c.id);
        Report(sameId, "control %zu: id %d (template %d)", i, id, c.id);
        if (!sameId) continue;
        const std::wstring cls = outside::ClassName(h);
        Report(lstrcmpiW(cls.c_str(), c.cls.c_str()) == 0, "  %d class %s", c.id, Utf8(cls).c_str());
        const DWORD s = StableStyle(c, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)));
        DWORD ws = StableStyle(c, WS_CHILD | WS_VISIBLE | c.style);
        DWORD wantEx = c.exStyle;
        if (c.cls == L"Edit" && (ws & WS_BORDER)) {
            // An edit draws a border asked for with WS_BORDER as the sunken client edge.
            ws &= ~static_cast<DWORD>(WS_BORDER);
            wantEx |= WS_EX_CLIENTEDGE;
        }
        Report(s == ws, "  %d style %08lx (template %08lx)", c.id, s, ws);
        const DWORD ex =
            static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)) & ~static_cast<DWORD>(WS_EX_NOPARENTNOTIFY);
        Report(ex == wantEx, "  %d extended style %08lx (template %08lx)", c.id, ex, wantEx);
        // An edit's text is the program's by now; the others show the template's.
        if (!IsImageStatic(c) && c.cls != L"Edit") {
            const std::wstring t = Text(h);
            Report(t == c.text, "  %d text \"%s\"", c.id, Utf8(t).c_str());
        }
        const RECT r = ChildRect(dialog, h);
        if (c.cls == L"Static" && (c.style & SS_TYPEMASK) <= SS_RIGHT && !c.text.empty()) CheckTextFits(c);
        RECT w = Pixels(u, c.x, c.y, c.cx, c.cy);
        if (IsImageStatic(c) && !(c.style & SS_CENTERIMAGE)) {
            // An image static takes the size of its image.
            int iw = GetSystemMetrics(SM_CXICON), ih = GetSystemMetrics(SM_CYICON);
            for (const probe::ImageSpec& im : layout.images)
                if (!im.icon && im.id == c.image) iw = im.width, ih = im.height;
            w.right = w.left + iw;
            w.bottom = w.top + ih;
        }
        Report(EqualRect(&r, &w), "  %d rectangle %s, template %s", c.id, RectText(r).c_str(),
               RectText(w).c_str());
    }

    // The tab order: every enabled tab stop, in template order.
    std::vector<int> want_order, order;
    for (size_t i = 0; i < d.controls.size() && i < children.size(); ++i)
        if ((d.controls[i].style & WS_TABSTOP) && IsWindowEnabled(children[i]))
            want_order.push_back(d.controls[i].id);
    const HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (HWND h = first; h && order.size() <= d.controls.size();) {
        order.push_back(GetDlgCtrlID(h));
        h = GetNextDlgTabItem(dialog, h, FALSE);
        if (h == first) break;
    }
    std::string text;
    for (int id : order) text += std::to_string(id) + " ";
    Report(order == want_order, "dialog %d tab order %s", d.id, text.c_str());
}

HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

// Colours and masks of the icons and bitmaps inside the executable, against the layout.
void CheckImages(HMODULE module, const probe::Layout& layout) {
    for (const probe::ImageSpec& im : layout.images) {
        HBITMAP colour = nullptr, mask = nullptr;
        HICON icon = nullptr;
        if (im.icon) {
            icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(im.id), IMAGE_ICON, im.width,
                                                 im.height, LR_DEFAULTCOLOR));
            ICONINFO info{};
            if (icon && GetIconInfo(icon, &info)) colour = info.hbmColor, mask = info.hbmMask;
        } else {
            colour = static_cast<HBITMAP>(
                LoadImageW(module, MAKEINTRESOURCEW(im.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            BITMAP bm{};
            if (colour && GetObjectW(colour, sizeof bm, &bm))
                Report(bm.bmWidth == im.width && bm.bmHeight == im.height && bm.bmBitsPixel == 8,
                       "bitmap %d is %ldx%ld, %d bits", im.id, bm.bmWidth, bm.bmHeight, bm.bmBitsPixel);
        }
        const char* kind = im.icon ? "icon" : "bitmap";
        if (!colour) {
            Report(false, "%s %d (%dx%d) in the executable", kind, im.id, im.width, im.height);
            continue;
        }
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), im.width, -im.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<DWORD> rgb(static_cast<size_t>(im.width * im.height)), and_(rgb.size());
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, colour, 0, static_cast<UINT>(im.height), rgb.data(), &bi, DIB_RGB_COLORS);
        if (mask) GetDIBits(dc, mask, 0, static_cast<UINT>(im.height), and_.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        int wrong = 0;
        for (size_t i = 0; i < rgb.size() && i < im.pixels.size(); ++i) {
            const bool transparent = mask && (and_[i] & 0xFFFFFF) != 0;
            if (im.pixels[i] < 0 ? !transparent
                                 : (transparent || (rgb[i] & 0xFFFFFF) != static_cast<DWORD>(im.pixels[i])))
                ++wrong;
        }
        Report(wrong == 0 && im.pixels.size() == rgb.size(), "%s %d (%dx%d): %d pixels differ", kind, im.id,
               im.width, im.height, wrong);
        if (icon) DestroyIcon(icon);
        DeleteObject(colour);
        if (mask) DeleteObject(mask);
    }
}

void CheckVersion(const std::wstring& exe, const std::wstring& name) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (data.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
        Report(false, "version resource");
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size);
    Report(fixed && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0x00000001 &&
               fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0x00000001,
           "file and product version 1.0.0.1");
    for (const wchar_t* field : {L"ProductName", L"FileDescription", L"InternalName"}) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + field;
        const bool found = VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size);
        Report(found && value && name == value, "block 080404B0 %s \"%s\"", Utf8(field).c_str(),
               found && value ? Utf8(value).c_str() : "");
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::map<std::wstring, std::vector<std::wstring>> opts;
    std::vector<std::pair<std::wstring, std::wstring>> steps;  // in command-line order
    for (int i = 1; i < argc; ++i) {
        const std::wstring key = argv[i];
        const bool flag = key == L"--device-change" || key == L"--close";
        const std::wstring value = !flag && i + 1 < argc ? argv[++i] : L"";
        opts[key].push_back(value);
        steps.emplace_back(key, value);
    }
    auto one = [&](const wchar_t* key) { return opts.count(key) ? opts[key].back() : std::wstring(); };

    if (!one(L"--patience").empty())
        g_patience = static_cast<UINT>(std::max(1, std::stoi(one(L"--patience"))));
    g_timeoutMs *= g_patience;
    outside::SetSendLimit(g_timeoutMs);

    probe::Layout layout;
    if (!probe::ReadLayout(one(L"--layout").c_str(), layout)) return 100;

    if (!one(L"--resources").empty()) {
        const std::wstring exe = one(L"--resources");
        HMODULE module =
            LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        Report(module != nullptr, "resources of %s", Utf8(exe).c_str());
        if (module) CheckImages(module, layout);
        CheckVersion(exe, one(L"--name"));
    }

    if (!one(L"--dialog").empty()) {
        const DialogLayout* expected = layout.Dialog(std::stoi(one(L"--dialog")));
        const std::wstring title = one(L"--title");
        const HWND dialog = expected ? WaitForDialog(title, 60000 * g_patience) : nullptr;
        Report(dialog != nullptr, "dialog with title \"%s\"", Utf8(title).c_str());
        if (!dialog) return outside::Failures() + 100;
        // Let the program finish its start before looking.
        Send(dialog, WM_NULL, 0, 0);
        CheckDialog(dialog, *expected, layout);

        for (const auto& [key, value] : steps) {
            if (key == L"--disabled" || key == L"--enabled") {
                for (int id : outside::Ids(value)) {
                    const HWND h = GetDlgItem(dialog, id);
                    const bool enabled = h && IsWindowEnabled(h);
                    Report(h && enabled == (key == L"--enabled"), "%d is %s", id,
                           enabled ? "enabled" : "disabled");
                }
            } else if (key == L"--focus") {
                const HWND focus = FocusOf(dialog);
                Report(focus && GetDlgCtrlID(focus) == std::stoi(value), "focus on %d",
                       focus ? GetDlgCtrlID(focus) : 0);
            } else if (key == L"--set" || key == L"--expect") {
                const size_t eq = value.find(L'=');
                const int id = std::stoi(value.substr(0, eq));
                const std::wstring text = eq == std::wstring::npos ? L"" : value.substr(eq + 1);
                const HWND h = GetDlgItem(dialog, id);
                if (key == L"--set") {
                    Send(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
                } else {
                    const std::wstring now = Text(h);
                    Report(h && now == text, "%d reads \"%s\" (want \"%s\")", id, Utf8(now).c_str(),
                           Utf8(text).c_str());
                }
            } else if (key == L"--device-change") {
                // Detection names the board in the title again after the notification.
                Send(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"(probe)"));
                Send(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
                Report(Text(dialog) == title, "title after a device change \"%s\"",
                       Utf8(Text(dialog)).c_str());
            } else if (key == L"--about") {
                const DialogLayout* about = layout.Dialog(std::stoi(value));
                if (!about) {
                    Report(false, "about dialog %s in the layout", Utf8(value).c_str());
                    continue;
                }
                PostMessageW(dialog, WM_SYSCOMMAND, 0x0010, 0);
                const HWND box = WaitForDialog(about->caption, g_timeoutMs);
                Report(box != nullptr, "about box \"%s\" after system command 0x10",
                       Utf8(about->caption).c_str());
                if (!box) continue;
                Send(box, WM_NULL, 0, 0);
                CheckDialog(box, *about, layout);
                Report(!IsWindowEnabled(dialog), "main dialog disabled while the about box is open");
                Send(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                Report(WaitGone(box, g_timeoutMs), "about box closed by its OK button");
            } else if (key == L"--close") {
                PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                Report(WaitGone(dialog, g_timeoutMs), "dialog closed by the close command");
            }
        }
    }
    std::printf("%d failed\n", outside::Failures());
    return outside::Failures();
}
