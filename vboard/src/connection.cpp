#include "connection.h"

namespace vboard {

const char* KindName(ConnectionKind kind) {
    switch (kind) {
        case ConnectionKind::New:
            return "before HELLO";
        case ConnectionKind::Probe:
            return "probe";
        case ConnectionKind::Device:
            return "device handle";
        case ConnectionKind::Pipe:
            return "pipe handle";
        case ConnectionKind::Control:
            return "control";
        case ConnectionKind::Refused:
            return "refused";
    }
    return "?";
}

Connection::Connection(std::uint32_t id, std::unique_ptr<vbus::Stream> stream, vbus::Waker& wake)
    : id_(id), stream_(std::move(stream)), wake_(wake) {}

void Connection::Send(const vbus::Message& message) {
    vbus::Bytes frame = vbus::Encode(message);
    std::lock_guard lock(mu_);
    if (shut_ || closeAfterFlush_) return;
    if (queuedBytes_ + frame.size() > kMaxQueuedBytes) {
        overflowed_ = true;
        shut_ = true;
        stream_->Shutdown();
        wake_.Wake();
        return;
    }
    const bool wasIdle = queue_.empty();
    queuedBytes_ += frame.size();
    queue_.push_back(std::move(frame));
    // Answered at once when the socket has room; a peer that does not read leaves it queued.
    if (wasIdle && FlushLocked() && !queue_.empty()) wake_.Wake();
}

void Connection::CloseAfterFlush() {
    std::lock_guard lock(mu_);
    closeAfterFlush_ = true;
    if (queue_.empty()) {
        shut_ = true;
        stream_->Shutdown();
    }
    wake_.Wake();
}

void Connection::Shutdown() {
    std::lock_guard lock(mu_);
    shut_ = true;
    stream_->Shutdown();
}

bool Connection::WantsToWrite() {
    std::lock_guard lock(mu_);
    return !queue_.empty() && !shut_;
}

std::size_t Connection::Queued() {
    std::lock_guard lock(mu_);
    return queuedBytes_;
}

bool Connection::Flush() {
    std::lock_guard lock(mu_);
    return FlushLocked();
}

bool Connection::FlushLocked() {
    while (!queue_.empty() && !shut_) {
        const vbus::Bytes& front = queue_.front();
        const std::ptrdiff_t n = stream_->SendSome(front.data() + sentOfFront_, front.size() - sentOfFront_);
        if (n == vbus::Stream::kWouldBlock) return true;
        if (n <= 0) {
            shut_ = true;
            stream_->Shutdown();
            return false;
        }
        sentOfFront_ += static_cast<std::size_t>(n);
        if (sentOfFront_ < front.size()) continue;
        queuedBytes_ -= front.size();
        sentOfFront_ = 0;
        queue_.pop_front();
    }
    if (queue_.empty() && closeAfterFlush_ && !shut_) {
        shut_ = true;
        stream_->Shutdown();
    }
    return true;
}

}  // namespace vboard
