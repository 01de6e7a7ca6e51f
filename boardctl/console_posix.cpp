// The console on Linux (and other POSIX systems): text is UTF-8 as it is; SIGINT and SIGTERM
// are taken by a thread of their own.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "console.h"
#include "exit_codes.h"

namespace {

class StandardConsole final : public Console {
  public:
    void Out(std::string_view utf8) override { Write(stdout, utf8); }
    void OutBytes(std::string_view bytes) override { Write(stdout, bytes); }
    void Err(std::string_view utf8) override { Write(stderr, utf8); }
    bool OutIsTerminal() const override { return ::isatty(STDOUT_FILENO) == 1; }

  private:
    static void Write(std::FILE* stream, std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    }
};

}  // namespace

std::unique_ptr<Console> OpenStandardConsole() { return std::make_unique<StandardConsole>(); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void CatchInterrupts(std::function<void()> interrupted, std::function<void(int code)> endNow,
                     std::function<bool()>) {
    // Blocked here, before any other thread exists, so every thread inherits the mask and only
    // the waiting thread below receives the signals.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, interrupted = std::move(interrupted), endNow = std::move(endNow)] {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal == SIGTERM) endNow(kExitTerminated);
        // The first Ctrl-C stops the command; it is repeated until the command has ended, in case
        // a transfer started just after it. A second one, or SIGTERM, ends the program at once.
        std::thread([interrupted] {
            for (;;) {
                interrupted();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }).detach();
        sigwait(&signals, &signal);
        endNow(signal == SIGTERM ? kExitTerminated : kExitInterrupted);
    }).detach();
}
