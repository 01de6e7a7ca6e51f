#include "connection.h"

#include <system_error>
#include <thread>
#include <variant>

#include "bus.h"
#include "completion.h"

namespace winapi_impl {

// The reader threads of all connections. A reader that has ended parks its thread here to
// be joined by the next open or close; at process exit every connection still running is
// dropped and every reader joined, so no reader outlives the process's static objects.
class Readers {
  public:
    static Readers& Instance() {
        static Readers readers;
        return readers;
    }

    bool Start(const std::shared_ptr<Connection>& connection) {
        JoinEnded();
        std::lock_guard<std::mutex> hold(lock_);
        try {
            std::thread reader([connection] {
                connection->ReadLoop();
                Instance().Ended(connection.get());
            });
            running_.emplace(connection.get(), Entry{connection, std::move(reader)});
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void JoinEnded() {
        std::vector<std::thread> ended;
        {
            std::lock_guard<std::mutex> hold(lock_);
            ended.swap(ended_);
        }
        for (auto& thread : ended) thread.join();
    }

    std::size_t Pending() {
        std::size_t count = 0;
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& [key, entry] : running_)
            if (auto connection = entry.connection.lock()) count += connection->PendingCount();
        return count;
    }

    ~Readers() {
        std::vector<std::thread> threads;
        std::vector<std::shared_ptr<Connection>> live;
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (auto& [key, entry] : running_) {
                if (auto connection = entry.connection.lock()) live.push_back(std::move(connection));
                threads.push_back(std::move(entry.thread));
            }
            running_.clear();
            for (auto& thread : ended_) threads.push_back(std::move(thread));
            ended_.clear();
        }
        for (auto& connection : live) connection->Abandon();
        live.clear();
        for (auto& thread : threads) thread.join();
    }

  private:
    struct Entry {
        std::weak_ptr<Connection> connection;
        std::thread thread;
    };

    Readers() = default;

    void Ended(Connection* connection) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = running_.find(connection);
        if (it == running_.end()) return;  // process exit took it over
        ended_.push_back(std::move(it->second.thread));
        running_.erase(it);
    }

    std::mutex lock_;
    std::map<Connection*, Entry> running_;
    std::vector<std::thread> ended_;
};

void JoinEndedReaders() { Readers::Instance().JoinEnded(); }

std::size_t PendingRequests() { return Readers::Instance().Pending(); }

Connection::Connection(std::unique_ptr<vbus::Stream> stream, bool overlapped)
    : Object(Kind::File), stream_(std::move(stream)), overlapped_(overlapped) {}

Connection::~Connection() = default;

bool Connection::Start() { return Readers::Instance().Start(shared_from_this()); }

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
        if (!vbus::WriteMessage(*stream_, submit)) stream_->Shutdown();
    }
    std::unique_lock<std::mutex> hold(lock_);
    // The board answers every request at once, with ACCEPTED or DONE; one that does not has
    // hung, and its connection is given up like that of a board that went away.
    if (!answered_.wait_for(hold, AnswerLimit(), [&] { return request->done || request->accepted; })) {
        hold.unlock();
        LogProtocolFault(stream_->PeerName(),
                         "did not answer request " + std::to_string(submit.id) + " in time");
        stream_->Shutdown();
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
        stream_->Shutdown();
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
        if (!vbus::WriteMessage(*stream_, vbus::Cancel{id})) {
            stream_->Shutdown();
            return;
        }
    }
}

std::size_t Connection::PendingCount() {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_.size();
}

void Connection::ReadLoop() {
    std::string why;
    for (;;) {
        auto message = vbus::ReadMessage(*stream_, why);
        if (!message) break;
        if (auto* accepted = std::get_if<vbus::Accepted>(&*message)) {
            if (!OnAccepted(accepted->id, why)) break;
        } else if (auto* done = std::get_if<vbus::Done>(&*message)) {
            if (!OnDone(*done, why)) break;
        } else {
            why = std::string("sent ") + vbus::MessageName(*message) + " on an open handle";
            break;
        }
    }
    if (!why.empty()) LogProtocolFault(stream_->PeerName(), why);
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
    // The event comes last of what the caller sees, but before a waiting call returns. A
    // request that fails at once is reported by the call's result alone: as on Windows, its
    // event is not set.
    if (request->event && !abandoned && !(atOnce && done.error != ERROR_SUCCESS)) request->event->Set();
    completed_.Set();
    {
        std::lock_guard<std::mutex> hold(lock_);
        request->done = true;
        request->error = result.error;
        request->transferred = result.transferred;
    }
    answered_.notify_all();
    if (finished) stream_->Shutdown();
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
    for (auto& [id, request] : left)
        if (request->event && !abandoned && request->accepted) request->event->Set();
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
