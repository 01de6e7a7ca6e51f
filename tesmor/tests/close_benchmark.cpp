// How long Tesmor's close takes while its status poller waits for a report the board never
// sends and the board does not answer a pipe reset either. Run by hand; prints the median.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "board_link.h"
#include "close_wait.h"
#include "io_cancel.h"
#include "poll_worker.h"
#include "vboard/board.h"
#include "winapi_standin.h"

namespace {

class SilentOwner : public WorkerOwner {
  public:
    std::atomic<bool> running{true};
    bool Running() const override { return running; }
    void UpdateStatusDisplay(const StatusReport&) override {}
    void ShowWorkerFailure(const char*) override {}
};

DWORD WINAPI RunPoller(LPVOID job) { return PollWorker(job); }

bool ReadPending(const vboard::Board& board, std::uint64_t mark) {
    for (const auto& e : board.TrafficLog())
        if (e.sequence > mark && e.target == "PIPE00" && e.op == vboard::LogOp::Read &&
            e.status == vboard::LogStatus::Pending)
            return true;
    return false;
}

void BM_CloseWhileThePollerWaits(benchmark::State& state) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("tesmor-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    standin::SetBusDirectory(dir);
    {
        vboard::Board board({.busDir = dir,
                             .eepromFile = dir + "/eeprom.bin",
                             .clockRunning = false,
                             .diagnostics = [](const std::string&) {}});
        std::string why;
        if (!board.Start(&why) || FindBoard() != 0) {
            state.SkipWithError(("no board: " + why).c_str());
            return;
        }
        board.SetFault(vboard::Target::Pipe00, {vboard::FaultMode::Stall});
        board.SetFault(vboard::Target::Reset, {vboard::FaultMode::Stall});
        SilentOwner owner;
        IoCanceller canceller;
        PollJob job;
        job.owner = &owner;
        job.canceller = &canceller;
        DevicePath.CopyTo(job.devicePath);
        for (auto _ : state) {
            owner.running = true;
            job.active = true;
            const auto mark = board.TrafficLog(1).back().sequence;
            HANDLE thread = CreateThread(nullptr, 0, RunPoller, &job, 0, nullptr);
            while (!ReadPending(board, mark)) std::this_thread::sleep_for(std::chrono::milliseconds(1));

            // What the window does at close.
            const auto start = std::chrono::steady_clock::now();
            owner.running = false;
            canceller.CancelAll();
            WaitForWorkersWithin(
                {thread}, kCloseWaitMs, [&] { canceller.CancelAll(); }, WaitForSingleObject);
            state.SetIterationTime(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            CloseHandle(thread);
        }
    }
    standin::SetBusDirectory("");
    std::filesystem::remove_all(dir);
}

// One close per repetition, so that the median is that of single closes.
BENCHMARK(BM_CloseWhileThePollerWaits)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(30)
    ->ReportAggregatesOnly(true);

// The floor: one request the board answers at once (the board-type query on an open device).
void BM_FloorOneBoardRoundTrip(benchmark::State& state) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("close-floor-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    standin::SetBusDirectory(dir);
    {
        vboard::Board board(
            {.busDir = dir, .eepromFile = dir + "/eeprom.bin", .diagnostics = [](const std::string&) {}});
        HANDLE device = board.Start() && FindBoard() == 0 ? OpenBoardDevice() : INVALID_HANDLE_VALUE;
        if (device == INVALID_HANDLE_VALUE) {
            state.SkipWithError("no board");
            return;
        }
        for (auto _ : state) {
            BYTE type = 0;
            benchmark::DoNotOptimize(QueryBoardType(device, type));
        }
        CloseBoardHandle(device);
    }
    standin::SetBusDirectory("");
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_FloorOneBoardRoundTrip)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
