// How long a close takes while a job waits on a board that does not answer, neither the read
// nor the pipe reset. The close cancels the pending read instead of waiting out its 1000 ms
// time-out, and the cancelled worker issues no reset; so a close takes about one round trip
// to the board, the floor measured beside it.
#include "close_wait.h"
#include "transfer_job.h"
#include "vboard_testing/close_bench.h"

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

void BM_CloseWhileAReadStalls(benchmark::State& state) {
    SilentOwner owner;
    TransferJob job;
    job.owner = &owner;
    job.length = 64;
    TimeStalledCloses(state, {.stalled = vboard::Target::Pipe02,
                              .pipe = "PIPE02",
                              .startWorker =
                                  [&] {
                                      owner.Jobs().Open();
                                      job.ticket = owner.Jobs().JobStarted();
                                      DevicePath.CopyTo(job.devicePath);
                                      return CreateThread(nullptr, 0, RunRead, &job, 0, nullptr);
                                  },
                              .close =
                                  [&](HANDLE thread) {
                                      owner.Jobs().BeginClose();
                                      WaitForWorkersWithin(
                                          {thread}, kCloseWaitMs, [&] { owner.Jobs().Handles().CancelAll(); },
                                          WaitForAnyThread);
                                  }});
}

[[maybe_unused]] const bool registered =
    (RegisterCloseBenchmarks("BM_CloseWhileAReadStalls", BM_CloseWhileAReadStalls), true);

}  // namespace

BENCHMARK_MAIN();
