// Plug/unplug soak: a board process is unplugged and plugged again, cycle after cycle, while
// Tesmor's poller and digit writer and Varnel's read and write workers run against it through
// the Windows-API stand-in, as the tools run them. Neither this process (the tools' side) nor the
// board process may grow in open files or threads.
//
// plug_soak [--cycles N] [--seconds S]   (defaults 300 cycles, at most 60 s; never fewer than 20
// cycles, the time limit notwithstanding)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board_link.h"
#include "digit_writer.h"
#include "poll_worker.h"
#include "transfer_job.h"
#include "vboard/control_client.h"
#include "winapi_standin.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int g_cycles = 300;
int g_seconds = 60;

int CountEntries(const std::string& dir) {
    int n = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

struct Usage {
    int fds = 0;
    int threads = 0;
};

Usage UsageOf(const std::string& proc) { return {CountEntries(proc + "/fd"), CountEntries(proc + "/task")}; }

// Tesmor's window as its two workers see it.
class TesmorSide final : public WorkerOwner {
  public:
    std::atomic<bool> running{false};
    std::atomic<int> reports{0}, failures{0};
    bool Running() const override { return running.load(); }
    bool Closing() const override { return false; }
    void UpdateStatusDisplay(const StatusReport&) override { ++reports; }
    void ShowWorkerFailure(const char*) override { ++failures; }
};

// Varnel's window as its transfer worker sees it.
class VarnelSide final : public TransferOwner {
  public:
    std::atomic<int> reads{0}, failures{0};
    void ShowTransferFailure(const char*) override { ++failures; }
    void AppendToReadDisplay(const std::string&) override { ++reads; }
    void JobEnded(int) override {}
    JobControl& Jobs() override { return jobs_; }

  private:
    JobControl jobs_;
};

// A worker started the way the tools' framework starts one: a thread of the stand-in.
class Worker {
  public:
    Worker(UINT (*procedure)(LPVOID), void* job) : procedure_(procedure), job_(job) {
        handle_ = CreateThread(nullptr, 0, &Worker::Start, this, 0, nullptr);
    }
    // A worker that does not end would go on using a job that is gone: the soak stops there.
    ~Worker() {
        if (Join()) return;
        std::fprintf(stderr, "plug_soak: a worker did not end within 20 s\n");
        std::abort();
    }
    bool Join(DWORD ms = 20000) {
        if (!handle_) return true;
        const bool ended = WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0;
        if (ended) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
        return ended;
    }

  private:
    static DWORD WINAPI Start(LPVOID self) {
        auto* w = static_cast<Worker*>(self);
        return w->procedure_(w->job_);
    }
    UINT (*procedure_)(LPVOID);
    void* job_;
    HANDLE handle_ = nullptr;
};

class BoardProcess {
  public:
    BoardProcess(const std::string& bus, const std::string& eeprom, const std::string& log) : bus_(bus) {
        std::vector<std::string> args{VBOARD_PROGRAM, "run",  "--slot",      "0",
                                      "--eeprom",     eeprom, "--report-ms", "2"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env{"VBOARD_BUS=" + bus};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("VBOARD_BUS=", 0) != 0) env.push_back(*e);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t output;
        posix_spawn_file_actions_init(&output);
        posix_spawn_file_actions_addopen(&output, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&output, 1, 2);
        if (posix_spawn(&pid_, VBOARD_PROGRAM, &output, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&output);
    }
    ~BoardProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool WaitUntilServing() const {
        for (int i = 0; i < 4000 && pid_ > 0; ++i) {
            if (vboard::SendCommand(bus_, 0, "type")) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    bool Command(const std::string& text) const {
        auto reply = vboard::SendCommand(bus_, 0, text);
        return reply && reply->ok;
    }
    std::string Proc() const { return "/proc/" + std::to_string(pid_); }

  private:
    std::string bus_;
    pid_t pid_ = -1;
};

class PlugSoak : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "plug-soak-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        dir_ = pattern;
        standin::SetBusDirectory(dir_ + "/bus");
    }
    void TearDown() override {
        standin::SetBusDirectory("");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_;
};

// One plugged period: detection as the tools do it, then both tools at work until the unplug.
void Cycle(const BoardProcess& board, std::mt19937& random, TesmorSide& tesmor, VarnelSide& varnel) {
    ASSERT_TRUE(board.Command("plug"));
    const BoardIdentity identity = IdentifyBoard();
    ASSERT_EQ(identity.presence, BoardPresence::Known) << "the plugged board was not found";

    IoCanceller pollCanceller, digitCanceller;
    PollJob poll;
    poll.owner = &tesmor;
    poll.canceller = &pollCanceller;
    DevicePath.CopyTo(poll.devicePath);  // the board detection found, as the window hands it over
    poll.active = true;
    tesmor.running = true;
    DigitJob digits;
    digits.owner = &tesmor;
    digits.canceller = &digitCanceller;
    DevicePath.CopyTo(digits.devicePath);
    for (int i = 0; i < 8; ++i) digits.buffer[i] = static_cast<BYTE>(random() % 16);

    std::atomic<bool> clicking{true};
    std::thread varnelClicks([&, seed = random()] {
        std::mt19937 r(seed);
        TransferJob job;
        job.owner = &varnel;
        while (clicking.load()) {
            job.start = static_cast<std::uint8_t>(r() % 192);
            job.length = 1 + static_cast<std::int32_t>(r() % 64);
            for (auto& b : job.data) b = static_cast<unsigned char>(r());
            job.ticket = varnel.Jobs().JobStarted();
            DevicePath.CopyTo(job.devicePath);  // as the window does at the click
            Worker worker(r() % 2 ? ReadWorker : WriteWorker, &job);
        }
    });
    {
        Worker poller(PollWorker, &poll);
        Worker writer(DigitWriter, &digits);
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + random() % 25));
        EXPECT_TRUE(board.Command("unplug"));
        // What Tesmor's window does when the connection ends.
        tesmor.running = false;
        pollCanceller.CancelAll();
    }  // the poller and the writer end
    clicking = false;
    varnelClicks.join();
}

TEST_F(PlugSoak, NoGrowthOfFilesOrThreadsOnEitherSide) {
    BoardProcess board(dir_ + "/bus", dir_ + "/board.eeprom", dir_ + "/board.log");
    ASSERT_TRUE(board.WaitUntilServing()) << "the board did not start";
    std::mt19937 random(7);
    TesmorSide tesmor;
    VarnelSide varnel;

    constexpr int kWarmUp = 10;
    Usage firstTools, firstBoard;  // the most seen in the warm-up's last cycles
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(g_seconds);
    int cycles = 0;
    const int wanted = std::max(g_cycles, 2 * kWarmUp);  // fewer would leave nothing after the warm-up
    for (; cycles < wanted && (cycles < 2 * kWarmUp || std::chrono::steady_clock::now() < until); ++cycles) {
        Cycle(board, random, tesmor, varnel);
        if (HasFatalFailure()) return;
        if (cycles >= kWarmUp / 2 && cycles < kWarmUp) {
            const Usage t = UsageOf("/proc/self"), b = UsageOf(board.Proc());
            firstTools = {std::max(firstTools.fds, t.fds), std::max(firstTools.threads, t.threads)};
            firstBoard = {std::max(firstBoard.fds, b.fds), std::max(firstBoard.threads, b.threads)};
        }
    }
    // Connections the board is still closing are not a leak: give them a moment.
    Usage tools, boardNow;
    for (int i = 0; i < 200; ++i) {
        tools = UsageOf("/proc/self");
        boardNow = UsageOf(board.Proc());
        if (tools.fds <= firstTools.fds && tools.threads <= firstTools.threads &&
            boardNow.fds <= firstBoard.fds && boardNow.threads <= firstBoard.threads)
            break;
        std::this_thread::sleep_for(10ms);
    }
    std::printf("%d cycles: %d reports, %d Varnel reads, %d Varnel failures, %d Tesmor failures\n", cycles,
                tesmor.reports.load(), varnel.reads.load(), varnel.failures.load(), tesmor.failures.load());
    std::printf("tools' side: %d files, %d threads after the warm-up; %d and %d at the end\n", firstTools.fds,
                firstTools.threads, tools.fds, tools.threads);
    std::printf("board:       %d files, %d threads after the warm-up; %d and %d at the end\n", firstBoard.fds,
                firstBoard.threads, boardNow.fds, boardNow.threads);
    EXPECT_LE(tools.fds, firstTools.fds);
    EXPECT_LE(tools.threads, firstTools.threads);
    EXPECT_LE(boardNow.fds, firstBoard.fds);
    EXPECT_LE(boardNow.threads, firstBoard.threads);
    EXPECT_GT(tesmor.reports.load(), 0) << "the poller never got a report: nothing was soaked";
    EXPECT_GT(varnel.reads.load(), 0) << "no Varnel read ever succeeded: nothing was soaked";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--cycles" || arg == "--seconds") && i + 1 < argc) {
            (arg == "--cycles" ? g_cycles : g_seconds) = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: plug_soak [--cycles N] [--seconds S] [gtest options]\n");
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
