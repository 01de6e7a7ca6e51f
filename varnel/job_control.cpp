#include "job_control.h"

#include <limits>

int JobControl::JobStarted() {
    // Tickets run 1..INT_MAX and start again at 1 (0 means no job), without signed overflow.
    lastTicket_ = lastTicket_ == std::numeric_limits<int>::max() ? 1 : lastTicket_ + 1;
    holder_ = lastTicket_;
    return holder_;
}

bool JobControl::JobEnded(int ticket) {
    if (ticket == 0 || ticket != holder_) return false;
    holder_ = 0;
    return true;
}

void JobControl::BeginClose() {
    closing_.store(true);
    handles_.CancelAll();
}
