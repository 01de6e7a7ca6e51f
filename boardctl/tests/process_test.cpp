// boardctl as its own process, against a board in this one that keeps what it is asked for: a
// stuck request, a SIGTERM, a second Ctrl-C each end the command within its bound, with what it
// left on the board.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "board_fixture.h"

extern char** environ;

namespace {

using vboard::FaultMode;
using vboard::LogOp;
using vboard::Target;
using Clock = std::chrono::steady_clock;

struct Ended {
    bool ended = false;  // by itself, within the time given
    int status = -1;     // its exit status; -1 after a signal
    double seconds = 0;
    std::string out, err;
};

class BoardctlProcess : public BoardctlTest {
  protected:
    // Starts boardctl on this test's bus; `during` runs while it does, with its process id.
    Ended RunProgram(const std::vector<std::string>& args, const std::function<void(pid_t)>& during) {
        std::vector<std::string> argv{BOARDCTL_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<std::string> env{"VBOARD_BUS=" + bus_->Directory()};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("VBOARD_BUS=", 0) != 0) env.push_back(*e);
        std::vector<char*> cenv;
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        const std::string out = File("out.txt"), err = File("err.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const auto start = Clock::now();
        EXPECT_EQ(posix_spawn(&pid, BOARDCTL_PROGRAM, &actions, nullptr, cargv.data(), cenv.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        Ended ended;
        if (pid <= 0) return ended;
        if (during) during(pid);
        int status = 0;
        pid_t done = 0;
        while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
               Clock::now() - start < std::chrono::seconds(30))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        ended.ended = done == pid;
        ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ended.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ended.out = ReadFile("out.txt");
        ended.err = ReadFile("err.txt");
        return ended;
    }
};

// One case per way a command is ended before the board lets go of its request. The driver
// never completes a cancelled request here, so nothing but the bound can end them.
TEST_F(BoardctlProcess, ACommandStuckInTheDriverEndsWithWhatItLeft) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        Target stuck;
        int signals;  // sent once the request is stuck: 0, a SIGTERM (-1), or SIGINTs
        int status;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases = {
        {"a read the driver keeps",
         {"eeprom", "read"},
         Target::Pipe02,
         0,
         1,
         {"no answer from the board: reading 64 bytes at 0x00 did not end"}},
        {"SIGTERM during a write",
         {"--json", "eeprom", "fill", "0"},
         Target::Pipe03,
         -1,
         143,
         {"boardctl eeprom fill: terminated\n  state unknown from 0x00 (64 bytes)\n  not written: 0x40..0xff "
          "(192 bytes)\n",
          "\"exit\":143,\"written\":[],\"not_written\":[{\"start\":64,\"length\":192}],\"unknown\":[{"
          "\"start\":0,\"length\":64}]"}},
        {"a second Ctrl-C during a write",
         {"eeprom", "write", "--data", "01 02 03"},
         Target::Pipe03,
         2,
         130,
         {"boardctl eeprom write: interrupted\n  state unknown from 0x00 (3 bytes)\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->RemoveBoards();
        vboard::Board& board = AddBoard();
        board.SetFault(c.stuck, {FaultMode::Stall, 0});
        board.SetCancelDelay(vboard::kCancelIgnored);
        const std::string pipe = c.stuck == Target::Pipe02 ? "PIPE02" : "PIPE03";
        const Ended e = RunProgram(c.args, [&](pid_t pid) {
            if (c.signals == 0) return;
            ASSERT_TRUE(Eventually([&] {
                return RequestPending(board, pipe, pipe == "PIPE02" ? LogOp::Read : LogOp::Write, 0, 0);
            }));
            if (c.signals < 0) ::kill(pid, SIGTERM);
            for (int i = 0; i < c.signals; ++i) {
                ::kill(pid, SIGINT);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        ASSERT_TRUE(e.ended) << "still waiting after 30 s\n" << e.err;
        EXPECT_EQ(e.status, c.status) << e.err;
        for (const std::string& said : c.said)
            EXPECT_NE((e.err + e.out).find(said), std::string::npos) << e.err << e.out;
        std::printf("%s: ended after %.1f s\n", c.name, e.seconds);
    }
}

}  // namespace
