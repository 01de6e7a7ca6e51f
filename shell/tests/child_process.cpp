#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

ChildOutcome RunThisProgram(const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment, int timeoutMs) {
    ChildOutcome outcome;
    char outputPath[] = "/tmp/child-output-XXXXXX";
    const int output = ::mkstemp(outputPath);
    if (output < 0) {
        outcome.output = "no file for the child's output";
        return outcome;
    }

    std::vector<std::string> argStrings{"/proc/self/exe"};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(output);
    if (spawned != 0) {
        ::unlink(outputPath);
        outcome.output = "the child did not start";
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            outcome.ended = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (outcome.ended && WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    std::ifstream file(outputPath);
    std::ostringstream text;
    text << file.rdbuf();
    outcome.output = text.str();
    ::unlink(outputPath);
    return outcome;
}
