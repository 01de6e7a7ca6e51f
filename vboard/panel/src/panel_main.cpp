// vboard-panel: `vboard run --panel`, started by `vboard` in its place. Runs the command line
// like `vboard` does, serving a `run` with the board's front panel until the panel is closed.
#include <iostream>

#include "cli.h"
#include "platform.h"
#include "vboard_panel/panel.h"
#include "vbus/bus_dir.h"

int main(int argc, char** argv) {
    // Block the termination signals before any thread starts, so only the panel's watcher sees them.
    vboard::PrepareForTerminationSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    vboard::CliContext context{vbus::DefaultBusDirectory(), std::cout, std::cerr,
                               [](vboard::Board& board) { vboard::panel::RunPanel(board); }};
    return vboard::RunCommandLine(args, context);
}
