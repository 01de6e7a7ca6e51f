#include "job_control.h"

int JobControl::JobStarted() {
    if (++lastTicket_ <= 0) lastTicket_ = 1;
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
