// The layout file the resource writer emits beside a program's resources: its dialog
// templates and images as the program registers them (texts in GBK).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

struct ControlLayout {
    int id = 0;
    std::wstring cls;  // Button, Edit, Static
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int image = 0;
    std::wstring text;
};

struct DialogLayout {
    int id = 0;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0, points = 9;
    std::wstring face, caption;
    std::vector<ControlLayout> controls;
};

struct ImageSpec {
    bool icon = false;
    int id = 0, width = 0, height = 0;
    std::vector<std::int32_t> pixels;  // 0xRRGGBB, or -1 where transparent; top row first
};

struct Layout {
    std::vector<DialogLayout> dialogs;
    std::vector<ImageSpec> images;
    const DialogLayout* Dialog(int id) const;
};

// Reads the file; false (with a message on stderr) when it is missing or malformed.
bool ReadLayout(const wchar_t* path, Layout& out);

std::wstring WideFromGbk(const std::string& gbk);

}  // namespace probe
