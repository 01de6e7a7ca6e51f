#include "connection.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>
#include <variant>

#include "bus.h"
#include "completion.h"
#include "vbus/poll.h"

namespace winapi_impl {

// The completion thread: one for all connections of the process, started with the first. It
// waits on every connection's socket and takes the board's answers as they arrive; completing a
// request (the caller's memory, the record, the event) happens there. At process exit every
// connection still open is dropped without completing anything, and the thread is joined, so it
// never outlives the process's static objects.
class CompletionLoop {
  public:
    static CompletionLoop& Instance() {
        static CompletionLoop loop;
        return loop;
    }

    bool Add(const std::shared_ptr<Connection>& connection) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!waker_.Valid()) return false;
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                return false;
            }
            threadsStarted_.fetch_add(1);
        }
        connections_.emplace(connection.get(), connection);
        waker_.Wake();
        return true;
    }

    void Wake() { waker_.Wake(); }

    std::size_t Pending() {
        std::vector<std::shared_ptr<Connection>> all;
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (auto& [key, connection] : connections_) all.push_back(connection);
        }
        std::size_t count = 0;
        for (auto& connection : all) count += connection->PendingCount();
        return count;
    }

    std::size_t ThreadsStarted() const { return threadsStarted_.load(); }

    ~CompletionLoop() {
        std::map<Connection*, std::shared_ptr<Connection>> left;
        {
            std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
            waker_.Wake();
        }
        if (thread_.joinable()) thread_.join();
        {
            std::lock_guard<std::mutex> hold(lock_);
            left.swap(connections_);
        }
        for (auto& [key, connection] : left) {
            connection->Abandon();
            connection->FailAll();
        }
    }

  private:
    CompletionLoop() = default;

    void Run() {
        std::vector<std::shared_ptr<Connection>> watched;
        std::vector<vbus::PollItem> items;
        for (;;) {
            watched.clear();
            items.assign(1, vbus::PollItem{waker_.Socket(), true});
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (stopping_) return;
                for (auto& [key, connection] : connections_) {
                    watched.push_back(connection);
                    items.push_back(vbus::PollItem{connection->stream_->Native(), true});
                }
            }
            if (!vbus::Poll(items, -1)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (items[0].readable) waker_.Drain();
            for (std::size_t i = 0; i < watched.size(); ++i) {
                Connection& connection = *watched[i];
                if ((items[i + 1].readable || connection.ending_.load()) && !connection.OnReadable(buffer_)) {
                    connection.Finish();
                    std::lock_guard<std::mutex> hold(lock_);
                    connections_.erase(&connection);
                }
            }
        }
    }

    std::mutex lock_;
    std::map<Connection*, std::shared_ptr<Connection>> connections_;
    bool stopping_ = false;
    vbus::Waker waker_;
    std::atomic<std::size_t> threadsStarted_{0};
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(16384);  // the thread's own
    std::thread thread_;
};

std::size_t PendingRequests() { return CompletionLoop::Instance().Pending(); }

std::size_t CompletionThreadsStarted() { return CompletionLoop::Instance().ThreadsStarted(); }

Connection::Connection(std::unique_ptr<vbus::Stream> stream, bool overlapped)
    : Object(Kind::File), stream_(std::move(stream)), overlapped_(overlapped) {}

Connection::~Connection() = default;

bool Connection::Start() { return CompletionLoop::Instance().Add(shared_from_this()); }

void Connection::End() {
    ending_.store(true);
    stream_->Shutdown();
    CompletionLoop::Instance().Wake();
}

Connection::Outcome Connection::Issue(const std::shared_ptr<Request>& request, vbus::Submit submit) {
    {
        std::lock_guard<std::mutex> sending(sendLock_);
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (closed_) return {false, ERROR_INVALID_HANDLE, 0};
            if (broken_) return {false, ERROR_DEVICE_NOT_CONNECTED, 0};
            submit.id = nextId_++;
            if (nextId_ == 0) nextId_ = 1;
            requests_.emplace(submit.id, request);
            completed_.Reset();
        }
        // A board that is gone fails the request through the reader, like every other one.
        // Never stuck behind a board that reads nothing: a frame it has not taken within the
        // answer limit gives the connection up, which ends every request on it.
        if (!vbus::WriteMessageWithin(*stream_, submit, static_cast<unsigned>(AnswerLimit().count()))) {
            LogProtocolFault(stream_->PeerName(), "took no request frame in time");
            End();
        }
    }
    std::unique_lock<std::mutex> hold(lock_);
    // The board answers every request at once, with ACCEPTED or DONE; one that does not has
    // hung, and its connection is given up like that of a board that went away.
    if (!answered_.wait_for(hold, AnswerLimit(), [&] { return request->done || request->accepted; })) {
        hold.unlock();
        LogProtocolFault(stream_->PeerName(),
                         "did not answer request " + std::to_string(submit.id) + " in time");
        End();
        hold.lock();
    }
    // An overlapped call returns with the first answer: once the board has accepted the
    // request the call reports it pending, even when its DONE has come in meanwhile.
    answered_.wait(hold, [&] { return request->done || (overlapped_ && request->accepted); });
    if (overlapped_ && request->accepted) return {true, ERROR_IO_PENDING, 0};
    return {false, request->error, request->transferred};
}

std::size_t Connection::Cancel(DWORD issuer, const OVERLAPPED* overlapped) {
    std::lock_guard<std::mutex> sending(sendLock_);
    std::vector<std::uint32_t> ids;
    std::size_t matched = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& [id, request] : requests_) {
            if (request->completing || (issuer != 0 && request->issuer != issuer) ||
                (overlapped != nullptr && request->overlapped != overlapped))
                continue;
            ++matched;
            if (!request->cancelSent) {
                request->cancelSent = true;
                ids.push_back(id);
            }
        }
    }
    SendCancels(ids);
    return matched;
}

void Connection::LastHandleClosed() {
    std::lock_guard<std::mutex> sending(sendLock_);
    std::vector<std::uint32_t> ids;
    bool idle;
    {
        std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
        for (auto& [id, request] : requests_) {
            if (request->completing || request->cancelSent) continue;
            request->cancelSent = true;
            ids.push_back(id);
        }
        idle = requests_.empty();
    }
    // With requests pending the connection stays until the board has answered each CANCEL,
    // so their completions still reach the caller; the last one shuts it.
    if (idle)
        End();
    else
        SendCancels(ids);
}

void Connection::Abandon() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        abandoned_ = true;
    }
    stream_->Shutdown();
}

void Connection::SendCancels(const std::vector<std::uint32_t>& ids) {
    for (std::uint32_t id : ids) {
        if (!vbus::WriteMessageWithin(*stream_, vbus::Cancel{id}, static_cast<unsigned>(AnswerLimit().count()))) {
            End();
            return;
        }
    }
}

std::size_t Connection::PendingCount() {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_.size();
}

bool Connection::OnReadable(std::vector<std::uint8_t>& buffer) {
    if (ending_.load()) return false;
    const std::ptrdiff_t n = stream_->ReceiveSome(buffer.data(), buffer.size());
    if (n == vbus::Stream::kWouldBlock) return true;
    if (n <= 0) {
        if (reader_.InsideFrame()) why_ = "connection ended inside a frame";
        return false;
    }
    return reader_.Feed(
        buffer.data(), static_cast<std::size_t>(n),
        [this](vbus::Message& message, std::string& why) {
            if (auto* accepted = std::get_if<vbus::Accepted>(&message)) return OnAccepted(accepted->id, why);
            if (auto* done = std::get_if<vbus::Done>(&message)) return OnDone(*done, why);
            why = std::string("sent ") + vbus::MessageName(message) + " on an open handle";
            return false;
        },
        why_);
}

void Connection::Finish() {
    if (!why_.empty()) LogProtocolFault(stream_->PeerName(), why_);
    stream_->Shutdown();
    FailAll();
}

bool Connection::OnAccepted(std::uint32_t id, std::string& why) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = requests_.find(id);
        if (it == requests_.end() || it->second->accepted || it->second->completing) {
            why = "ACCEPTED for request " + std::to_string(id) + ", which is not waiting for an answer";
            return false;
        }
        it->second->accepted = true;
    }
    answered_.notify_all();
    return true;
}

bool Connection::OnDone(vbus::Done& done, std::string& why) {
    std::shared_ptr<Request> request;
    bool atOnce, abandoned;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = requests_.find(done.id);
        if (it == requests_.end()) {
            why = "DONE for request " + std::to_string(done.id) + ", which is not pending";
            return false;
        }
        request = it->second;
        request->completing = true;
        atOnce = !request->accepted;
        abandoned = abandoned_;
    }
    const Completion result = abandoned ? Completion{done.error, 0} : Deliver(*request, done);
    bool finished;
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.erase(done.id);
        finished = closed_ && requests_.empty();
    }
    // The record and the event come last of what the caller sees, but before a waiting call
    // returns. A request that fails at once is reported by the call's result alone: as on
    // Windows, its event is not set.
    if (!abandoned) Publish(*request, result, !(atOnce && done.error != ERROR_SUCCESS));
    completed_.Set();
    {
        std::lock_guard<std::mutex> hold(lock_);
        request->done = true;
        request->error = result.error;
        request->transferred = result.transferred;
    }
    answered_.notify_all();
    if (finished) End();
    return true;
}

void Connection::FailAll() {
    std::map<std::uint32_t, std::shared_ptr<Request>> left;
    bool abandoned;
    DWORD error;
    {
        std::lock_guard<std::mutex> hold(lock_);
        broken_ = true;
        left = requests_;
        for (auto& [id, request] : left) request->completing = true;
        abandoned = abandoned_;
        // Requests of a closed handle were cancelled by the close.
        error = closed_ ? ERROR_OPERATION_ABORTED : ERROR_DEVICE_NOT_CONNECTED;
    }
    std::vector<Completion> results;
    for (auto& [id, request] : left) {
        const vbus::Done done{id, error, 0, {}, {}};
        results.push_back(abandoned ? Completion{error, 0} : Deliver(*request, done));
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& [id, request] : left) requests_.erase(id);
    }
    if (!abandoned) {
        auto result = results.begin();
        for (auto& [id, request] : left) Publish(*request, *result++, request->accepted);
    }
    completed_.Set();
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto result = results.begin();
        for (auto& [id, request] : left) {
            request->done = true;
            request->error = result->error;
            request->transferred = result->transferred;
            ++result;
        }
    }
    answered_.notify_all();
}

}  // namespace winapi_impl
