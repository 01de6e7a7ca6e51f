// Writes a program's icon for the Linux desktop from the resource table it registers: PNG
// files in the sizes of the hicolor icon theme, laid out as the theme is,
//
//   icon_writer --out DIR --name varnel --icon 128 --sizes 16,32,48,64,128,256
//
// writes DIR/16x16/apps/varnel.png and so on. Built together with the program's own
// resource sources (whose static registration fills the table), so the icons are the
// program's own art, enlarged pixel for pixel.
#include <afx_template.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_file.h"

namespace {

struct Options {
    std::string out, name;
    int icon = 128;
    std::vector<int> sizes;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "icon_writer: %s\n", why.c_str());
    std::exit(1);
}

int Number(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v <= 0 || v > 4096) Fail("not a positive number: " + text);
    return static_cast<int>(v);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        if (i + 1 >= argc) Fail(key + " needs a value");
        const std::string value = argv[i + 1];
        if (key == "--out") {
            o.out = value;
        } else if (key == "--name") {
            o.name = value;
        } else if (key == "--icon") {
            o.icon = Number(value);
        } else if (key == "--sizes") {
            std::stringstream in(value);
            for (std::string item; std::getline(in, item, ',');) o.sizes.push_back(Number(item));
        } else {
            Fail("unknown option " + key);
        }
    }
    if (o.out.empty() || o.name.empty() || o.sizes.empty()) Fail("--out, --name and --sizes are needed");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const afx::IconResource* icon = afx::FindIcon(o.icon);
    if (!icon) Fail("no icon " + std::to_string(o.icon) + " in the program's resources");
    for (int size : o.sizes) {
        const afx::Image* source = hicolor::PickSource(icon->images, size);
        if (!source)
            Fail("no image of icon " + std::to_string(o.icon) + " enlarges to " + std::to_string(size));
        const std::vector<std::uint8_t> png = hicolor::EncodePng(*source, size / source->width);
        if (png.empty()) Fail("invalid image in icon " + std::to_string(o.icon));
        const std::string dims = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path dir = std::filesystem::path(o.out) / dims / "apps";
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        const std::filesystem::path path = dir / (o.name + ".png");
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        if (!f.flush()) Fail("cannot write " + path.string());
    }
    return 0;
}
