#include "vboard_testing/close_bench.h"

#include <chrono>
#include <thread>

#include "board_link.h"
#include "vboard_testing/private_bus.h"
#include "vboard_testing/traffic_log.h"

void TimeStalledCloses(benchmark::State& state, const StalledClose& rig) {
    PrivateBus bus("close-bench");
    std::string why;
    vboard::Board& board = bus.AddBoard(rig.board, &why);
    if (!why.empty() || FindBoard() != 0) {
        state.SkipWithError(("no board: " + why).c_str());
        return;
    }
    board.SetFault(rig.stalled, {vboard::FaultMode::Stall});
    board.SetFault(vboard::Target::Reset, {vboard::FaultMode::Stall});
    for (auto _ : state) {
        const auto mark = LogMark(board);
        HANDLE thread = rig.startWorker();
        while (!RequestPending(board, rig.pipe, vboard::LogOp::Read, 0, mark))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));

        const auto start = std::chrono::steady_clock::now();
        rig.close(thread);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        CloseHandle(thread);
    }
}

namespace {

void BM_FloorOneBoardRoundTrip(benchmark::State& state) {
    PrivateBus bus("close-floor");
    std::string why;
    bus.AddBoard({}, &why);
    HANDLE device = why.empty() && FindBoard() == 0 ? OpenBoardDevice() : INVALID_HANDLE_VALUE;
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

}  // namespace

void RegisterCloseBenchmarks(const char* name, void (*close)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, close)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(30)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("BM_FloorOneBoardRoundTrip", BM_FloorOneBoardRoundTrip)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
}
