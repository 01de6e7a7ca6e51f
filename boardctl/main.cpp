// boardctl: the board's EEPROM, keys, clock and display from the command line.
#include <string>
#include <vector>

#include "commands.h"
#include "console.h"

int main(int argc, char** argv) {
    // Reached from the interrupt thread until the process ends: never destroyed.
    static StopSignal* const stop = new StopSignal;
    CatchInterrupts([] { stop->Request(); });
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto console = OpenStandardConsole();
    return RunBoardctl(args, *console, *stop);
}
