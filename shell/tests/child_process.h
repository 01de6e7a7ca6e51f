// Runs the test program itself again in a child process, for what must end a process (a close
// that ends the program at once). Linux only.
#pragma once

#include <string>
#include <vector>

struct ChildOutcome {
    bool ended = false;  // by itself, within the time given
    int exitCode = -1;   // when it exited; -1 after a signal
    std::string output;  // standard output and standard error together
};

// Starts /proc/self/exe with `arguments`, the environment of this process plus `environment`
// ("NAME=value" each), and waits up to timeoutMs for it to end; kills it after that.
ChildOutcome RunThisProgram(const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment, int timeoutMs);
