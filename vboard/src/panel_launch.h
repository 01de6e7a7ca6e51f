// `vboard run --panel`: the front panel is a program of its own (`vboard-panel`, Qt 6 Widgets),
// so that the command line loads no Qt unless the panel is asked for.
#pragma once

#include <string>
#include <vector>

namespace vboard {

// Removes "--panel" from the options of a `run` command line (`args` without the program name);
// true when it was there.
bool TakePanelOption(std::vector<std::string>& args);

// The panel program beside this executable.
std::string PanelProgramPath();

// Replaces this process with the panel program, which runs `args` (without "--panel"). Returns
// only when that fails, with the reason.
std::string ExecPanelProgram(const std::vector<std::string>& args);

}  // namespace vboard
