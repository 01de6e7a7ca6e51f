// vboard-panel: `vboard run --panel`, started by `vboard` in its place. Runs the command line
// like `vboard` does, serving a `run` with the board's front panel until the panel is closed.
#include "platform.h"
#include "vboard_panel/panel.h"

int main(int argc, char** argv) {
    // Block the termination signals before any thread starts, so only the panel's watcher sees them.
    vboard::PrepareForTerminationSignals();
    return vboard::panel::RunPanelProgram(std::vector<std::string>(argv + 1, argv + argc));
}
