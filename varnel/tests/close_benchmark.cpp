// How long a close takes while a job waits on a board that does not answer, neither the read
// nor the pipe reset. The close cancels the pending read instead of waiting out its 1000 ms
// time-out, and the cancelled worker issues no reset; so a close takes about one round trip
// to the board, the floor measured beside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "board_link.h"
#include "close_wait.h"
#include "transfer_job.h"
#include "vboard/board.h"
#include "winapi_standin.h"

namespace {

class SilentOwner : public TransferOwner {
  public:
    void ShowTransferFailure(const char*) override {}
    void AppendToReadDisplay(const std::string&) override {}
    void JobEnded(int) override {}
    JobControl& Jobs() override { return jobs_; }

  private:
    JobControl jobs_;
};

DWORD WINAPI RunRead(LPVOID job) { return ReadWorker(job); }

bool ReadPending(const vboard::Board& board, std::uint64_t mark) {
    for (const auto& e : board.TrafficLog())
        if (e.sequence > mark && e.target == "PIPE02" && e.op == vboard::LogOp::Read &&
            e.status == vboard::LogStatus::Pending)
            return true;
    return false;
}

void BM_CloseWhileAReadStalls(benchmark::State& state) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("varnel-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    standin::SetBusDirectory(dir);
    {
        vboard::Board board(
            {.busDir = dir, .eepromFile = dir + "/eeprom.bin", .diagnostics = [](const std::string&) {}});
        std::string why;
        if (!board.Start(&why) || FindBoard() != 0) {
            state.SkipWithError(("no board: " + why).c_str());
            return;
        }
        board.SetFault(vboard::Target::Pipe02, {vboard::FaultMode::Stall});
        board.SetFault(vboard::Target::Reset, {vboard::FaultMode::Stall});
        SilentOwner owner;
        TransferJob job;
        job.owner = &owner;
        job.length = 64;
        for (auto _ : state) {
            owner.Jobs().Open();
            job.ticket = owner.Jobs().JobStarted();
            const auto mark = board.TrafficLog(1).back().sequence;
            HANDLE thread = CreateThread(nullptr, 0, RunRead, &job, 0, nullptr);
            while (!ReadPending(board, mark)) std::this_thread::sleep_for(std::chrono::milliseconds(1));

            const auto start = std::chrono::steady_clock::now();
            owner.Jobs().BeginClose();
            WaitForWorkersWithin(
                {thread}, kCloseWaitMs, [&] { owner.Jobs().Handles().CancelAll(); }, WaitForSingleObject);
            state.SetIterationTime(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            CloseHandle(thread);
        }
    }
    standin::SetBusDirectory("");
    std::filesystem::remove_all(dir);
}

// One close per repetition, so that the median is that of single closes.
BENCHMARK(BM_CloseWhileAReadStalls)
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
