#include "job_control.h"

namespace {
constexpr DWORD kRecancelIntervalMs = 50;
}

void JobControl::BeginClose() {
    closing_.store(true);
    handles_.CancelAll();
}

void JobControl::WaitForWorker(HANDLE thread, WaitFunction wait) {
    while (wait(thread, kRecancelIntervalMs) == WAIT_TIMEOUT) handles_.CancelAll();
}
