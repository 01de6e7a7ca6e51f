// boardctl: the board's EEPROM, keys, clock and display from the command line.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "console.h"
#include "end_report.h"

int main(int argc, char** argv) {
    // Reached from the interrupt and watchdog threads until the process ends: never destroyed.
    static StopSignal* const stop = new StopSignal;
    static std::atomic<bool>* const done = new std::atomic<bool>(false);
    CatchInterrupts([] { stop->Request(); },
                    [](int code) {
                        EndReport::Instance().EndNow(static_cast<ExitCode>(code),
                                                     code == kExitTerminated ? "terminated" : "interrupted");
                    },
                    [] { return done->load(); });
    // Every wait on the board has a bound: a step the driver keeps past its limit and the grace
    // of its cancel ends the command with what it left on the board.
    std::thread([] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (const auto step = EndReport::Instance().Overrun())
                EndReport::Instance().EndNow(kExitBoardFailure,
                                             "no answer from the board: " + *step +
                                                 " did not end within its time limit and the "
                                                 "grace of its cancel");
        }
    }).detach();
    const std::vector<std::string> args = CommandLineArguments(argc, argv);
    const auto console = OpenStandardConsole();
    const int status = RunBoardctl(args, *console, *stop);
    done->store(true);
    EndReport::Instance().Detach();  // a signal from now on must not reach the console below
    return status;
}
