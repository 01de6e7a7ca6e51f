// How long Tesmor's close takes while its status poller waits for a report the board never
// sends and the board does not answer a pipe reset either. Run by hand; prints the median.
#include <atomic>

#include "board_link.h"
#include "close_wait.h"
#include "io_cancel.h"
#include "poll_worker.h"
#include "vboard_testing/close_bench.h"

namespace {

class SilentOwner : public WorkerOwner {
  public:
    std::atomic<bool> running{true};
    bool Running() const override { return running; }
    bool Closing() const override { return !running; }
    void UpdateStatusDisplay(const StatusReport&) override {}
    void ShowWorkerFailure(const char*) override {}
};

DWORD WINAPI RunPoller(LPVOID job) { return PollWorker(job); }

void BM_CloseWhileThePollerWaits(benchmark::State& state) {
    SilentOwner owner;
    IoCanceller canceller;
    PollJob job;
    job.owner = &owner;
    job.canceller = &canceller;
    TimeStalledCloses(state, {.board = {.clockRunning = false},
                              .stalled = vboard::Target::Pipe00,
                              .pipe = "PIPE00",
                              .startWorker =
                                  [&] {
                                      DevicePath.CopyTo(job.devicePath);
                                      owner.running = true;
                                      job.active = true;
                                      return CreateThread(nullptr, 0, RunPoller, &job, 0, nullptr);
                                  },
                              .close =
                                  [&](HANDLE thread) {
                                      // What the window does at close.
                                      owner.running = false;
                                      canceller.CancelAll();
                                      WaitForWorkersWithin(
                                          {thread}, kCloseWaitMs, [&] { canceller.CancelAll(); },
                                          WaitForAnyThread);
                                  }});
}

[[maybe_unused]] const bool registered =
    (RegisterCloseBenchmarks("BM_CloseWhileThePollerWaits", BM_CloseWhileThePollerWaits), true);

}  // namespace

BENCHMARK_MAIN();
