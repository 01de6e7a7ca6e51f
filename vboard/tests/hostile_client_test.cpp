// Clients that misbehave on purpose, as any local user or a broken program might: strangers on
// the loopback port, idle and half-sent connections, absurd frame lengths, garbage, frames out of
// order, a client that never reads. The board keeps answering its owner and stays within its
// memory bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>

#include "test_support.h"
#include "vboard/control_client.h"
#include "vbus/bus_dir.h"
#include "vbus/tcp_endpoint.h"

namespace vboard::test {
namespace {

using Clock = std::chrono::steady_clock;

// The board closes a connection that has not greeted within 3 s; allow for a loaded machine.
constexpr auto kClosedWithin = 15s;

std::unique_ptr<vbus::Stream> Raw(const Board& board) {
    return vbus::ConnectUnix(vbus::SocketPath(board.BusDirectory(), board.Slot()));
}

// True when the board ends the connection (rather than the wait running out).
bool ClosedByBoard(vbus::Stream& stream) {
    const auto start = Clock::now();
    stream.SetReceiveTimeout(static_cast<unsigned>(std::chrono::milliseconds(kClosedWithin).count()));
    std::uint8_t bytes[256];
    while (stream.ReceiveAll(bytes, 1)) {
    }
    return Clock::now() - start < kClosedWithin - 1s;
}

bool OwnerIsAnswered(const Board& board) {
    std::string why;
    const auto reply = SendCommand(board.BusDirectory(), board.Slot(), "status", &why);
    return reply && reply->ok;
}

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

class HostileClients : public ::testing::Test {
  protected:
    void SetUp() override {
        auto options = TestOptions(dir_);
        options.diagnostics = diagnostics_.Sink();
        board_ = std::make_unique<Board>(options);
        ASSERT_TRUE(board_->Start());
    }

    TempDir dir_;
    Diagnostics diagnostics_;
    std::unique_ptr<Board> board_;
};

TEST_F(HostileClients, StrangersOnTheLoopbackPortCannotLockTheOwnerOut) {
    const auto endpoint =
        vbus::ReadTcpEndpoint(vbus::TcpEndpointPath(board_->BusDirectory(), board_->Slot()));
    ASSERT_TRUE(endpoint);
    // More connections than the board has slots, none showing the secret.
    std::vector<std::unique_ptr<vbus::Stream>> strangers;
    for (int i = 0; i < 300; ++i) {
        auto s = vbus::ConnectTcp(endpoint->port);
        ASSERT_TRUE(s) << "connection " << i;
        strangers.push_back(std::move(s));
    }
    EXPECT_TRUE(OwnerIsAnswered(*board_)) << "the owner's socket client was refused";
    auto owner = Client::ConnectTcp(*board_);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->Hello(vbus::Purpose::Open, board_->DevicePath()).error, 0u);
    EXPECT_EQ(owner->Call(TypeRequest(owner->NextId())).done.error, 0u);
    // Those still waiting are closed once their greeting time is over.
    EXPECT_TRUE(ClosedByBoard(*strangers.back()));
    EXPECT_TRUE(diagnostics_.WaitFor("no bus secret in time"));
}

TEST_F(HostileClients, IdleAndHalfSentConnectionsAreClosed) {
    auto idle = Raw(*board_);
    auto halfHello = Raw(*board_);
    auto halfFrame = Raw(*board_);
    ASSERT_TRUE(idle && halfHello && halfFrame);
    const vbus::Bytes hello = vbus::Encode(vbus::Hello{1, vbus::Purpose::Control, ""});
    ASSERT_TRUE(halfHello->SendAll(hello.data(), hello.size() / 2));
    ASSERT_TRUE(halfFrame->SendAll(hello.data(), hello.size()));
    const vbus::Bytes command = vbus::Encode(vbus::Command{"status"});
    ASSERT_TRUE(halfFrame->SendAll(command.data(), command.size() - 1));

    EXPECT_TRUE(ClosedByBoard(*idle));
    EXPECT_TRUE(ClosedByBoard(*halfHello));
    EXPECT_TRUE(ClosedByBoard(*halfFrame));
    EXPECT_TRUE(diagnostics_.WaitFor("no HELLO in time"));
    EXPECT_TRUE(diagnostics_.WaitFor("a frame left unfinished"));
    EXPECT_TRUE(OwnerIsAnswered(*board_));
}

TEST_F(HostileClients, AbsurdLengthsAreRefusedAtTheHeaderAndMemoryStaysBounded) {
    const std::size_t before = ResidentBytes();
    const vbus::Bytes hello = vbus::Encode(vbus::Hello{1, vbus::Purpose::Control, ""});
    auto prefix = [](std::uint32_t n) {
        return vbus::Bytes{std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                           std::uint8_t(n >> 24)};
    };
    // 1 MiB frames: more than any message of the protocol needs.
    std::vector<std::unique_ptr<vbus::Stream>> absurd;
    for (int i = 0; i < 200; ++i) {
        auto s = Raw(*board_);
        ASSERT_TRUE(s);
        vbus::Bytes bytes = hello;
        const vbus::Bytes header = prefix(1u << 20);
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.push_back(0x04);
        ASSERT_TRUE(s->SendAll(bytes.data(), bytes.size()));
        absurd.push_back(std::move(s));
    }
    // The longest frames there are, begun and not finished: they hold what they sent.
    std::vector<std::unique_ptr<vbus::Stream>> begun;
    for (int i = 0; i < 50; ++i) {
        auto s = Raw(*board_);
        ASSERT_TRUE(s);
        vbus::Bytes bytes = hello;
        const vbus::Bytes header = prefix(vbus::kMaxFrame);
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.resize(bytes.size() + 1024, 0x04);
        ASSERT_TRUE(s->SendAll(bytes.data(), bytes.size()));
        begun.push_back(std::move(s));
    }
    EXPECT_TRUE(ClosedByBoard(*absurd.front()));
    EXPECT_TRUE(ClosedByBoard(*absurd.back()));
    EXPECT_TRUE(diagnostics_.WaitFor("out of range"));
    EXPECT_TRUE(OwnerIsAnswered(*board_));
    const std::size_t grown = ResidentBytes() - std::min(before, ResidentBytes());
    EXPECT_LT(grown, std::size_t{48} << 20) << "the board took memory for what the peers only announced";
}

TEST_F(HostileClients, GarbageAndFramesOutOfOrderEndOnlyTheirOwnConnection) {
    auto handle = OpenHandle(*board_, "PIPE02");
    std::mt19937 random(12);
    std::vector<vbus::Bytes> attacks;
    for (int i = 0; i < 20; ++i) {
        vbus::Bytes noise(64);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        noise[3] = 0;  // a length the board reads on; the noise then cannot be a valid body
        noise[4] = 0x7f;
        attacks.push_back(noise);
    }
    auto frames = [](std::initializer_list<vbus::Message> messages) {
        vbus::Bytes out;
        for (const auto& m : messages) {
            const vbus::Bytes f = vbus::Encode(m);
            out.insert(out.end(), f.begin(), f.end());
        }
        return out;
    };
    attacks.push_back(frames({vbus::Submit{1, vbus::Op::Read, 0, 4, {}, {}}}));  // before HELLO
    attacks.push_back(
        frames({vbus::Hello{1, vbus::Purpose::Control, ""}, vbus::Hello{1, vbus::Purpose::Control, ""}}));
    attacks.push_back(frames({vbus::Hello{1, vbus::Purpose::Control, ""}, vbus::Cancel{1}}));
    attacks.push_back(frames({vbus::Hello{1, vbus::Purpose::Probe, ""}, vbus::Done{1, 0, 0, {}, {}}}));
    for (const auto& attack : attacks) {
        auto s = Raw(*board_);
        ASSERT_TRUE(s);
        ASSERT_TRUE(s->SendAll(attack.data(), attack.size()));
        EXPECT_TRUE(ClosedByBoard(*s));
    }
    handle->Barrier();
    EXPECT_TRUE(OwnerIsAnswered(*board_));
}

TEST_F(HostileClients, AClientThatNeverReadsCannotStallTheBoard) {
    auto deaf = Raw(*board_);
    ASSERT_TRUE(deaf);
    const vbus::Bytes hello = vbus::Encode(vbus::Hello{1, vbus::Purpose::Control, ""});
    ASSERT_TRUE(deaf->SendAll(hello.data(), hello.size()));
    // Commands whose replies it never reads, far more than the board queues for one client.
    std::thread flood([&] {
        const vbus::Bytes command = vbus::Encode(vbus::Command{"status"});
        for (int i = 0; i < 50000; ++i)
            if (!deaf->SendAll(command.data(), command.size())) return;
    });
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(OwnerIsAnswered(*board_));
    auto handle = OpenHandle(*board_, "PIPE02");
    handle->Barrier();
    flood.join();
    EXPECT_TRUE(ClosedByBoard(*deaf));
    EXPECT_TRUE(diagnostics_.WaitFor("does not read what the board sends"));
    EXPECT_TRUE(OwnerIsAnswered(*board_));
}

}  // namespace
}  // namespace vboard::test
