#include "connection.h"

namespace vboard {

Connection::Connection(std::uint32_t id, std::unique_ptr<vbus::Stream> stream)
    : id_(id), stream_(std::move(stream)), writer_([this] { WriteLoop(); }) {}

Connection::~Connection() {
    StopWriter();
    if (reader.joinable()) reader.join();
}

void Connection::Send(const vbus::Message& message) {
    vbus::Bytes frame = vbus::Encode(message);
    std::lock_guard lock(mu_);
    if (stopping_ || closeAfterFlush_) return;
    if (queuedBytes_ + frame.size() > kMaxQueuedBytes) {
        overflowed_ = true;
        stream_->Shutdown();
        return;
    }
    queuedBytes_ += frame.size();
    queue_.push_back(std::move(frame));
    cv_.notify_one();
}

void Connection::CloseAfterFlush() {
    std::lock_guard lock(mu_);
    closeAfterFlush_ = true;
    cv_.notify_one();
}

void Connection::Shutdown() { stream_->Shutdown(); }

void Connection::StopWriter() {
    {
        std::lock_guard lock(mu_);
        stopping_ = true;
        cv_.notify_one();
    }
    if (writer_.joinable() && writer_.get_id() != std::this_thread::get_id()) writer_.join();
}

void Connection::WriteLoop() {
    std::unique_lock lock(mu_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || closeAfterFlush_ || !queue_.empty(); });
        if (stopping_) return;
        if (queue_.empty()) {  // close after flush, all sent
            stream_->Shutdown();
            return;
        }
        vbus::Bytes frame = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= frame.size();
        lock.unlock();
        const bool sent = stream_->SendAll(frame.data(), frame.size());
        lock.lock();
        if (!sent) {
            stream_->Shutdown();
            queue_.clear();
            queuedBytes_ = 0;
            stopping_ = true;
            return;
        }
    }
}

}  // namespace vboard
