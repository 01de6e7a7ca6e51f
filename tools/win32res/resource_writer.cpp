// Writes a program's Windows resources from the resource table it registers: icon and
// bitmap files, the resource script that names them with the dialogs (DIALOGEX, the same
// bytes the Win32 backend would build in memory) and a version resource, all in language
// 0x0804 (Chinese, PRC), and a layout file of the dialogs and images for the checks that
// run the program under wine. The script is UTF-8 (windres -c 65001): GBK's second bytes
// may be a backslash or a quote, which a resource compiler would take as escapes.
//
//   resource_writer --out DIR --name Varnel --file varnel.exe --version 1.0.0.1
//                   --icons 128 [--bitmaps 129,130] --dialogs 102,100
//
// Built for the build machine together with the program's own resource sources (whose
// static registration fills the table), so the files carry exactly the program's data.
#include <afx_template.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image_files.h"

namespace {

struct Options {
    std::string out, name, file, version = "1.0.0.1";
    std::vector<int> icons, bitmaps, dialogs;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "resource_writer: %s\n", why.c_str());
    std::exit(1);
}

std::vector<int> Numbers(const std::string& list) {
    std::vector<int> out;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(std::stoi(item));
    return out;
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--out")
            o.out = value;
        else if (key == "--name")
            o.name = value;
        else if (key == "--file")
            o.file = value;
        else if (key == "--version")
            o.version = value;
        else if (key == "--icons")
            o.icons = Numbers(value);
        else if (key == "--bitmaps")
            o.bitmaps = Numbers(value);
        else if (key == "--dialogs")
            o.dialogs = Numbers(value);
        else
            Fail("unknown option " + key);
    }
    if (o.out.empty() || o.name.empty() || o.file.empty()) Fail("--out, --name and --file are needed");
    return o;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) Fail("no valid image for " + path);
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) Fail("cannot write " + path);
}

// Texts stay in the program's code page (GBK); only the line breaks and backslashes are escaped.
std::string Escape(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\\')
            out += "\\\\";
        else if (*p == '\n')
            out += "\\n";
        else if (*p == '\r')
            out += "\\r";
        else
            out += *p;
    }
    return out;
}

std::string Utf8FromGbk(const char* gbk) {
    std::string in = gbk ? gbk : "", out(in.size() * 2 + 4, '\0');
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) Fail("no GB18030 converter");
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) Fail("text is not GBK: " + in);
    out.resize(out.size() - room);
    return out;
}

// A resource-script string: quotes doubled, backslashes and line breaks escaped.
std::string RcString(const char* gbk) {
    std::string out = "\"";
    for (char c : Utf8FromGbk(gbk)) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out + "\"";
}

bool IsImageStatic(const afx::ControlTemplate& c) {
    const unsigned long type = c.style & SS_TYPEMASK;
    return c.cls == afx::ControlClass::Static && (type == SS_ICON || type == SS_BITMAP);
}

std::string Hex(unsigned long v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lx", v);
    return buf;
}

// Every pixel as RRGGBB, or "......" where the mask makes it transparent, one row a line.
void Pixels(std::ostream& out, const afx::Image& image) {
    for (int y = 0; y < image.height; ++y) {
        out << "pixels";
        for (int x = 0; x < image.width; ++x) {
            const size_t i = static_cast<size_t>(y * image.width + x);
            char buf[8];
            if (!image.mask.empty() && image.mask[i]) {
                std::snprintf(buf, sizeof buf, "......");
            } else {
                std::snprintf(buf, sizeof buf, "%06x",
                              static_cast<unsigned>(image.palette[image.pixels[i]] & 0xFFFFFF));
            }
            out << ' ' << buf;
        }
        out << '\n';
    }
}

std::string VersionCommas(const std::string& dotted) {
    std::string out = dotted;
    for (char& c : out)
        if (c == '.') c = ',';
    return out;
}

// The predefined control classes by atom, as the in-memory template has them (windres would
// store a class name as a string).
const char* ClassAtom(afx::ControlClass cls) {
    switch (cls) {
        case afx::ControlClass::Button:
            return "0x0080";
        case afx::ControlClass::Edit:
            return "0x0081";
        case afx::ControlClass::Static:
            return "0x0082";
    }
    return "0x0082";
}

// The dialog as DIALOGEX: what BuildDialogTemplate (platform/afx/win32) makes in memory,
// written for windres: DS_SETFONT for the font entry, the font in the Chinese (GB2312)
// character set, every control WS_CHILD | WS_VISIBLE, classes by atom, image statics without
// text (the program sets their images).
void WriteDialog(std::ostream& rc, const afx::DialogTemplate& d) {
    rc << d.id << " DIALOGEX " << d.x << ", " << d.y << ", " << d.cx << ", " << d.cy << "\n"
       << "STYLE 0x" << Hex(d.style | DS_SETFONT) << "\nEXSTYLE 0x" << Hex(d.exStyle) << "\n"
       << "CAPTION " << RcString(d.caption) << "\n"
       << "FONT " << (d.fontPointSize > 0 ? d.fontPointSize : 9) << ", " << RcString(d.fontFace)
       << ", 400, 0, 134\nBEGIN\n";
    for (const afx::ControlTemplate& c : d.controls)
        rc << "  CONTROL " << RcString(IsImageStatic(c) ? "" : c.text) << ", " << c.id << ", "
           << ClassAtom(c.cls) << " /* " << afx::ControlClassName(c.cls) << " */, 0x"
           << Hex(WS_CHILD | WS_VISIBLE | c.style) << ", " << c.x << ", " << c.y << ", " << c.cx << ", "
           << c.cy << ", 0x" << Hex(c.exStyle) << "\n";
    rc << "END\n";
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    std::ostringstream rc, layout;
    rc << "// Written by tools/win32res/resource_writer from " << o.name << "'s resource table.\n"
       << "LANGUAGE 4, 2  // LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED: 0x0804, as the version block\n";

    for (int id : o.icons) {
        const afx::IconResource* icon = afx::FindIcon(id);
        if (!icon) Fail("no icon " + std::to_string(id));
        const std::string path = o.out + "/icon" + std::to_string(id) + ".ico";
        WriteFile(path, win32res::EncodeIcon(icon->images));
        rc << id << " ICON \"" << path << "\"\n";
        for (const afx::Image& image : icon->images) {
            layout << "icon " << id << ' ' << image.width << ' ' << image.height << '\n';
            Pixels(layout, image);
        }
    }
    for (int id : o.bitmaps) {
        const afx::BitmapResource* bitmap = afx::FindBitmap(id);
        if (!bitmap) Fail("no bitmap " + std::to_string(id));
        const std::string path = o.out + "/bitmap" + std::to_string(id) + ".bmp";
        WriteFile(path, win32res::EncodeBitmap(bitmap->image));
        rc << id << " BITMAP \"" << path << "\"\n";
        layout << "bitmap " << id << ' ' << bitmap->image.width << ' ' << bitmap->image.height << '\n';
        Pixels(layout, bitmap->image);
    }
    for (int id : o.dialogs) {
        const afx::DialogTemplate* d = afx::FindDialog(id);
        if (!d) Fail("no dialog " + std::to_string(id));
        layout << "dialog " << id << ' ' << Hex(d->style) << ' ' << Hex(d->exStyle) << ' ' << d->x << ' '
               << d->y << ' ' << d->cx << ' ' << d->cy << ' ' << d->fontPointSize << '\n';
        layout << "face " << Escape(d->fontFace) << '\n';
        layout << "caption " << Escape(d->caption) << '\n';
        for (const afx::ControlTemplate& c : d->controls) {
            layout << "control " << c.id << ' ' << afx::ControlClassName(c.cls) << ' ' << Hex(c.style) << ' '
                   << Hex(c.exStyle) << ' ' << c.x << ' ' << c.y << ' ' << c.cx << ' ' << c.cy << ' '
                   << c.image << '\n';
            layout << "text " << Escape(c.text) << '\n';
        }
        layout << "end\n";
        WriteDialog(rc, *d);
    }

    const std::string commas = VersionCommas(o.version);
    rc << "1 VERSIONINFO\n"
       << "FILEVERSION " << commas << "\nPRODUCTVERSION " << commas << "\n"
       << "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\nFILEOS 0x40004\nFILETYPE 0x1\nFILESUBTYPE 0x0\n"
       << "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"080404B0\"\n    BEGIN\n"
       << "      VALUE \"FileDescription\", \"" << o.name << "\"\n"
       << "      VALUE \"FileVersion\", \"" << o.version << "\"\n"
       << "      VALUE \"InternalName\", \"" << o.name << "\"\n"
       << "      VALUE \"OriginalFilename\", \"" << o.file << "\"\n"
       << "      VALUE \"ProductName\", \"" << o.name << "\"\n"
       << "      VALUE \"ProductVersion\", \"" << o.version << "\"\n"
       << "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x804, 1200\n  "
          "END\nEND\n";

    std::ofstream(o.out + "/resources.rc") << rc.str();
    std::ofstream(o.out + "/layout.txt", std::ios::binary) << layout.str();
    return 0;
}
