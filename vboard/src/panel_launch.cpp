#include "panel_launch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vboard {

bool TakePanelOption(std::vector<std::string>& args) {
    // The command word comes after the leading options (only `--slot N` takes a value).
    std::size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) i += args[i] == "--slot" ? 2 : 1;
    if (i >= args.size() || args[i] != "run") return false;
    auto panel = std::find(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end(), "--panel");
    if (panel == args.end()) return false;
    args.erase(panel);
    return true;
}

std::string PanelProgramPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "vboard-panel";
    return (self.parent_path() / "vboard-panel").string();
}

std::string ExecPanelProgram(const std::vector<std::string>& args) {
    const std::string program = PanelProgramPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return "cannot start the front panel " + program + ": " + std::strerror(errno);
}

}  // namespace vboard
