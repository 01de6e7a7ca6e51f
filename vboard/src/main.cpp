// vboard: a virtual board on the board bus (see `vboard --help`).
#include <iostream>

#include "cli.h"
#include "panel_launch.h"
#include "platform.h"
#include "vbus/bus_dir.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // `run --panel`: the panel program serves the board instead, in this process's place.
    if (vboard::TakePanelOption(args)) {
        std::cerr << "vboard: " << vboard::ExecPanelProgram(args) << "\n";
        return 1;
    }
    // Block the termination signals before any thread starts, so only sigwait sees them.
    vboard::PrepareForTerminationSignals();
    vboard::CliContext context{vbus::DefaultBusDirectory(), std::cout, std::cerr,
                               [](vboard::Board&) { vboard::WaitForTerminationSignal(); },
                               vboard::EndTerminationWait};
    return vboard::RunCommandLine(args, context);
}
