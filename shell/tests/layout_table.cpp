#include "layout_table.h"

#include <afx_template.h>

#include <cstdio>
#include <fstream>

std::vector<std::string> TemplateLayoutLines(std::initializer_list<int> dialogIds) {
    std::vector<std::string> lines;
    char line[160];
    for (int id : dialogIds) {
        const afx::DialogTemplate* d = afx::FindDialog(id);
        if (!d) {
            lines.push_back("no dialog " + std::to_string(id));
            continue;
        }
        std::snprintf(line, sizeof line, "dialog %d %08lx %08lx %d %d %d %d %d", id,
                      static_cast<unsigned long>(d->style), static_cast<unsigned long>(d->exStyle), d->x, d->y,
                      d->cx, d->cy, d->fontPointSize);
        lines.emplace_back(line);
        for (const afx::ControlTemplate& c : d->controls) {
            std::snprintf(line, sizeof line, "control %d %s %08lx %08lx %d %d %d %d %d", c.id, afx::ControlClassName(c.cls),
                          static_cast<unsigned long>(c.style), static_cast<unsigned long>(c.exStyle), c.x, c.y,
                          c.cx, c.cy, c.image);
            lines.emplace_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ReadLayoutTable(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    if (!in) lines.push_back("cannot read " + path);
    for (std::string line; std::getline(in, line);) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}
