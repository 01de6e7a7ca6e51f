// vboard: a virtual board on the board bus (see `vboard --help`).
#include <iostream>

#include "cli.h"
#include "platform.h"
#include "vbus/bus_dir.h"

int main(int argc, char** argv) {
    // Block the termination signals before any thread starts, so only sigwait sees them.
    vboard::PrepareForTerminationSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    vboard::CliContext context{vbus::DefaultBusDirectory(), std::cout, std::cerr,
                               [](vboard::Board&) { vboard::WaitForTerminationSignal(); }};
    return vboard::RunCommandLine(args, context);
}
