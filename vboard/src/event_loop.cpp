// The board's event loop: one thread accepts, reads and flushes every connection, and closes
// those that overstay their welcome.
//
// Who may hold what (docs/PROTOCOL.md, "What a local user can do"):
// - the bus's UNIX socket is reachable only by the board's owner; its connections, and TCP
//   connections once they have shown the bus secret, share kMaxConnections slots;
// - a loopback TCP connection is open to every local user until it has shown the secret: such
//   connections have slots of their own (kMaxUnverified; the oldest gives way to a new one) and
//   hold no more than the 32 bytes of the secret;
// - every connection must have greeted (secret and HELLO) within kGreetingLimit, and a frame
//   once started must be whole within kFrameLimit;
// - a connection holds at most one unfinished frame (vbus::kMaxFrame) and kMaxQueuedBytes of
//   answers it has not read; unfinished frames of all connections together are read no further
//   while they hold kMaxHeldInput.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "board_core.h"

namespace vboard {

namespace {

constexpr std::size_t kMaxConnections = 256;
constexpr std::size_t kMaxUnverified = 64;
constexpr auto kGreetingLimit = std::chrono::seconds(3);
constexpr auto kFrameLimit = std::chrono::seconds(3);
constexpr std::size_t kMaxHeldInput = 16u << 20;
constexpr auto kEvictionNoteEvery = std::chrono::seconds(10);
// A poll that fails this many times in a row (a second of retries) ends the board; until then
// it is reported once and then every kPollNoteEvery.
constexpr int kPollFailureLimit = 100;
constexpr auto kPollRetry = std::chrono::milliseconds(10);
constexpr auto kPollNoteEvery = std::chrono::seconds(10);

bool Verified(const Connection& c) { return !c.secretFirst || c.secretHave == c.secret.size(); }

}  // namespace

void BoardCore::Loop() {
    std::vector<vbus::PollItem> items;
    int pollFailures = 0;
    auto lastPollNote = SteadyClock::time_point{};
    for (;;) {
        {
            std::lock_guard lock(mu_);
            if (stopped_) break;
        }
        const auto now = SteadyClock::now();
        std::size_t held = 0;
        for (const auto& c : live_) held += c->reader.Held();

        items.clear();
        items.push_back({waker_.Socket(), true});
        items.push_back({listener_->Native(), true});
        if (tcpListener_) items.push_back({tcpListener_->Native(), true});
        const std::size_t first = items.size();
        auto deadline = SteadyClock::time_point::max();
        for (const auto& c : live_) {
            // A connection in the middle of a frame waits while unfinished frames hold too much.
            const bool read = !c->reader.InsideFrame() || held < kMaxHeldInput;
            items.push_back({c->Stream().Native(), read, c->WantsToWrite()});
            if (!c->greeted) deadline = std::min(deadline, c->greetBy);
            if (c->frameBy) deadline = std::min(deadline, *c->frameBy);
        }
        int timeoutMs = -1;
        if (deadline != SteadyClock::time_point::max())
            timeoutMs = static_cast<int>(std::max<std::int64_t>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1));
        if (!vbus::Poll(items, timeoutMs)) {
            const std::string error = std::strerror(errno);
            if (++pollFailures >= kPollFailureLimit) {
                const std::string why = "cannot wait for its connections (poll: " + error + ", " +
                                        std::to_string(pollFailures) + " times in a row); the board ends";
                Diagnose(why);
                failed_ = true;
                if (options_.onFailure) options_.onFailure(why);
                break;
            }
            if (pollFailures == 1 || SteadyClock::now() - lastPollNote >= kPollNoteEvery) {
                Diagnose("cannot wait for its connections (poll: " + error + "); retrying");
                lastPollNote = SteadyClock::now();
            }
            std::this_thread::sleep_for(kPollRetry);
            continue;
        }
        pollFailures = 0;
        if (items[0].readable) waker_.Drain();

        // Existing connections first, then new ones (which start with a full greeting time).
        const auto after = SteadyClock::now();
        std::vector<std::pair<ConnectionPtr, std::string>> closing;
        for (std::size_t i = 0; i < live_.size(); ++i) {
            const ConnectionPtr& c = live_[i];
            const vbus::PollItem& item = items[first + i];
            std::string why;
            if (item.writable && !c->Flush()) {
                closing.emplace_back(c, "");
                continue;
            }
            if (item.readable && !ReadFrom(c, why)) {
                closing.emplace_back(c, why);
                continue;
            }
            if (!c->greeted && after >= c->greetBy)
                closing.emplace_back(
                    c, c->secretFirst && !Verified(*c) ? "no bus secret in time" : "no HELLO in time");
            else if (c->frameBy && after >= *c->frameBy)
                closing.emplace_back(c, "a frame left unfinished");
        }
        for (auto& [c, why] : closing) CloseConnection(c, why);
        if (items[1].readable) AcceptFrom(*listener_, false);
        if (tcpListener_ && items[2].readable) AcceptFrom(*tcpListener_, true);
    }
    // Detaching: every connection ends here.
    std::vector<ConnectionPtr> all;
    all.swap(live_);
    for (auto& c : all) CloseConnection(c, "");
}

void BoardCore::AcceptFrom(vbus::Listener& listener, bool secretFirst) {
    while (auto stream = listener.TryAccept()) {
        std::uint32_t id;
        {
            std::lock_guard lock(mu_);
            id = nextConnection_++;
        }
        auto c = std::make_shared<Connection>(id, std::move(stream), waker_);
        c->secretFirst = secretFirst;
        c->greetBy = SteadyClock::now() + kGreetingLimit;
        if (secretFirst) {
            // Anyone on this machine may connect here: such connections have slots of their
            // own, and the oldest gives way, so they cannot keep the owner's clients out.
            std::vector<ConnectionPtr> unverified;
            for (const auto& other : live_)
                if (!Verified(*other)) unverified.push_back(other);
            if (unverified.size() >= kMaxUnverified) {
                const auto oldest =
                    std::min_element(unverified.begin(), unverified.end(),
                                     [](const auto& a, const auto& b) { return a->greetBy < b->greetBy; });
                const ConnectionPtr gone = *oldest;
                if (SteadyClock::now() - lastEvictionNote_ >= kEvictionNoteEvery) {
                    lastEvictionNote_ = SteadyClock::now();
                    Diagnose(std::to_string(kMaxUnverified) +
                             " TCP connections have not shown the bus secret; dropping the oldest as new "
                             "ones come");
                }
                live_.erase(std::find(live_.begin(), live_.end(), gone));
                CloseConnection(gone, "");
            }
        } else if (std::size_t owned = static_cast<std::size_t>(
                       std::count_if(live_.begin(), live_.end(), [](const auto& o) { return Verified(*o); }));
                   owned >= kMaxConnections) {
            Diagnose("refusing " + c->PeerName() + ": " + std::to_string(kMaxConnections) +
                     " connections are open");
            c->Shutdown();
            continue;
        }
        std::lock_guard lock(mu_);
        connections_[c->Id()] = c;
        live_.push_back(c);
    }
}

bool BoardCore::TakeSecret(Connection& c, const std::uint8_t*& data, std::size_t& size, std::string& why) {
    const std::size_t n = std::min(size, c.secret.size() - c.secretHave);
    std::copy(data, data + n, c.secret.begin() + static_cast<std::ptrdiff_t>(c.secretHave));
    c.secretHave += n;
    data += n;
    size -= n;
    if (c.secretHave < c.secret.size()) return true;
    // Every byte is compared, so the time taken tells nothing about how much was right.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < tcpSecret_.size(); ++i)
        difference |= static_cast<std::uint8_t>(c.secret[i] ^ tcpSecret_[i]);
    if (difference != 0) {
        c.secretHave = 0;  // never counted as shown
        why = "wrong bus secret";
        return false;
    }
    const auto owned = std::count_if(live_.begin(), live_.end(), [](const auto& o) { return Verified(*o); });
    if (static_cast<std::size_t>(owned) > kMaxConnections) {
        why = std::to_string(kMaxConnections) + " connections are open";
        return false;
    }
    return true;
}

bool BoardCore::ReadFrom(const ConnectionPtr& c, std::string& why) {
    const std::ptrdiff_t n = c->Stream().ReceiveSome(readBuffer_.data(), readBuffer_.size());
    if (n == vbus::Stream::kWouldBlock) return true;
    if (n <= 0) {
        if (c->Overflowed())
            why = "it does not read what the board sends";
        else if (c->secretFirst && !Verified(*c))
            why = "closed before sending the bus secret";
        else if (c->reader.InsideFrame())
            why = "connection ended inside a frame";
        return false;
    }
    const std::uint8_t* data = readBuffer_.data();
    std::size_t size = static_cast<std::size_t>(n);
    if (c->secretFirst && !Verified(*c) && !TakeSecret(*c, data, size, why)) return false;
    const bool ok = c->reader.Feed(
        data, size,
        [&](vbus::Message& message, std::string& reason) {
            const bool hello = std::holds_alternative<vbus::Hello>(message);
            if (!Handle(c, message, reason)) return false;
            if (hello) c->greeted = true;
            return true;
        },
        why);
    if (!ok) return false;
    if (!c->reader.InsideFrame())
        c->frameBy.reset();
    else if (!c->frameBy)
        c->frameBy = SteadyClock::now() + kFrameLimit;
    return true;
}

void BoardCore::CloseConnection(const ConnectionPtr& c, const std::string& why) {
    bool stopping;
    std::string kind;
    {
        std::lock_guard lock(mu_);
        stopping = stopped_;
        kind = KindName(c->kind);
    }
    // A TCP peer that has not shown the secret is nobody the log can say more about.
    if (!why.empty() && !stopping)
        Diagnose("closing " + c->PeerName() + (Verified(*c) ? " (" + kind + ")" : std::string()) + ": " +
                 why);
    c->Shutdown();
    Closed(c);
    auto it = std::find(live_.begin(), live_.end(), c);
    if (it != live_.end()) live_.erase(it);
}

}  // namespace vboard
