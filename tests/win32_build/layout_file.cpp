#include "layout_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "outside_window.h"

namespace probe {
namespace {

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char c = s[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The rest of the line after "key ", unescaped, as UTF-16.
std::wstring TextAfter(const std::string& line, size_t keyLength) {
    return line.size() > keyLength + 1 ? WideFromGbk(Unescape(line.substr(keyLength + 1))) : std::wstring();
}

}  // namespace

const DialogLayout* Layout::Dialog(int id) const {
    for (const DialogLayout& d : dialogs)
        if (d.id == id) return &d;
    return nullptr;
}

std::wstring WideFromGbk(const std::string& gbk) {
    if (gbk.empty()) return {};
    const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
    return out;
}

bool ReadLayout(const wchar_t* path, Layout& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", outside::Utf8(path).c_str());
        return false;
    }
    DialogLayout* dialog = nullptr;
    ImageSpec* image = nullptr;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "dialog") {
            DialogLayout d;
            words >> d.id >> std::hex >> d.style >> d.exStyle >> std::dec >> d.x >> d.y >> d.cx >> d.cy >>
                d.points;
            out.dialogs.push_back(d);
            dialog = &out.dialogs.back();
        } else if (key == "face" && dialog) {
            dialog->face = TextAfter(line, 4);
        } else if (key == "caption" && dialog) {
            dialog->caption = TextAfter(line, 7);
        } else if (key == "control" && dialog) {
            ControlLayout c;
            std::string cls;
            words >> c.id >> cls >> std::hex >> c.style >> c.exStyle >> std::dec >> c.x >> c.y >> c.cx >>
                c.cy >> c.image;
            c.cls.assign(cls.begin(), cls.end());
            dialog->controls.push_back(c);
        } else if (key == "text" && dialog && !dialog->controls.empty()) {
            dialog->controls.back().text = TextAfter(line, 4);
        } else if (key == "end") {
            dialog = nullptr;
        } else if (key == "icon" || key == "bitmap") {
            ImageSpec s;
            s.icon = key == "icon";
            words >> s.id >> s.width >> s.height;
            out.images.push_back(s);
            image = &out.images.back();
        } else if (key == "pixels" && image) {
            for (std::string p; words >> p;)
                image->pixels.push_back(
                    p == "......" ? -1 : static_cast<std::int32_t>(std::stoul(p, nullptr, 16)));
        } else if (!key.empty()) {
            std::fprintf(stderr, "layout: unknown line '%s'\n", key.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace probe
