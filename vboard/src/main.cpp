// vboard: a virtual board on the board bus (see `vboard --help`).
#include <iostream>

#include "cli.h"
#include "platform.h"
#include "vbus/bus_dir.h"
#ifdef VBOARD_WITH_PANEL
#include "vboard_panel/panel.h"
#endif

int main(int argc, char** argv) {
    // Block the termination signals before any thread starts, so only sigwait sees them.
    vboard::PrepareForTerminationSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    vboard::CliContext context{vbus::DefaultBusDirectory(), std::cout, std::cerr,
                               [](vboard::Board&) { vboard::WaitForTerminationSignal(); }};
#ifdef VBOARD_WITH_PANEL
    // `run --panel`: serve the board with its front panel until the panel is closed.
    if (vboard::panel::TakePanelOption(args))
        context.waitWhileRunning = [](vboard::Board& board) { vboard::panel::RunPanel(board); };
#endif
    return vboard::RunCommandLine(args, context);
}
