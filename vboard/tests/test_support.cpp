#include "test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "vbus/bus_dir.h"
#include "vbus/tcp_endpoint.h"

namespace vboard::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vboard-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

BoardOptions TestOptions(const TempDir& dir, const std::string& eepromName) {
    BoardOptions o;
    o.busDir = dir.File("bus");
    o.eepromFile = dir.File(eepromName);
    o.clockRunning = false;
    o.clock = ClockTime{9, 30, 5};
    return o;
}

std::function<void(const std::string&)> Diagnostics::Sink() {
    return [this](const std::string& line) {
        std::lock_guard lock(mu_);
        lines_.push_back(line);
        cv_.notify_all();
    };
}

std::vector<std::string> Diagnostics::Lines() const {
    std::lock_guard lock(mu_);
    return lines_;
}

bool Diagnostics::WaitFor(const std::string& text) const {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, kPatience, [&] {
        for (const auto& l : lines_)
            if (l.find(text) != std::string::npos) return true;
        return false;
    });
}

std::unique_ptr<Client> Client::Connect(const Board& board) {
    auto stream = vbus::ConnectUnix(vbus::SocketPath(board.BusDirectory(), board.Slot()));
    if (!stream) return nullptr;
    return std::unique_ptr<Client>(new Client(std::move(stream)));
}

std::unique_ptr<Client> Client::ConnectTcp(const Board& board) {
    auto stream = vbus::ConnectTcpBoard(board.BusDirectory(), board.Slot());
    if (!stream) return nullptr;
    return std::unique_ptr<Client>(new Client(std::move(stream)));
}

Client::Client(std::unique_ptr<vbus::Stream> stream) : stream_(std::move(stream)) {
    reader_ = std::thread([this] { ReadLoop(); });
}

Client::~Client() {
    stream_->Shutdown();
    reader_.join();
}

void Client::ReadLoop() {
    std::string why;
    while (auto m = vbus::ReadMessage(*stream_, why)) {
        std::lock_guard lock(mu_);
        inbox_.push_back(std::move(*m));
        cv_.notify_all();
    }
    std::lock_guard lock(mu_);
    ended_ = true;
    cv_.notify_all();
}

void Client::Send(const vbus::Message& message) { ASSERT_TRUE(vbus::WriteMessage(*stream_, message)); }

void Client::SendRaw(const vbus::Bytes& bytes) { stream_->SendAll(bytes.data(), bytes.size()); }

std::optional<vbus::Message> Client::Next() {
    std::unique_lock lock(mu_);
    cv_.wait_for(lock, kPatience, [this] { return ended_ || !inbox_.empty(); });
    if (inbox_.empty()) return std::nullopt;
    auto m = std::move(inbox_.front());
    inbox_.pop_front();
    return m;
}

bool Client::WaitClosed() {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, kPatience, [this] { return ended_; });
}

vbus::Welcome Client::Hello(vbus::Purpose purpose, const std::string& path, std::uint16_t version) {
    Send(vbus::Hello{version, purpose, path});
    auto m = Next();
    if (!m || !std::holds_alternative<vbus::Welcome>(*m)) {
        ADD_FAILURE() << "no WELCOME";
        return {};
    }
    return std::get<vbus::Welcome>(*m);
}

Client::Outcome Client::Call(vbus::Submit submit) {
    Outcome out;
    const std::uint32_t id = submit.id;
    Send(submit);
    auto m = Next();
    if (!m) {
        ADD_FAILURE() << "no answer to SUBMIT " << id;
        return out;
    }
    if (auto* a = std::get_if<vbus::Accepted>(&*m)) {
        EXPECT_EQ(a->id, id);
        out.accepted = true;
        out.done = WaitDone(id);
        return out;
    }
    if (auto* d = std::get_if<vbus::Done>(&*m)) {
        EXPECT_EQ(d->id, id);
        out.done = *d;
        return out;
    }
    ADD_FAILURE() << "unexpected " << vbus::MessageName(*m);
    return out;
}

void Client::Start(vbus::Submit submit) {
    const std::uint32_t id = submit.id;
    Send(submit);
    auto m = Next();
    ASSERT_TRUE(m.has_value()) << "no answer to SUBMIT " << id;
    auto* a = std::get_if<vbus::Accepted>(&*m);
    ASSERT_TRUE(a) << "expected ACCEPTED, got " << vbus::MessageName(*m);
    EXPECT_EQ(a->id, id);
}

vbus::Done Client::WaitDone(std::uint32_t id) {
    auto m = Next();
    if (!m) {
        ADD_FAILURE() << "no DONE for " << id;
        return {};
    }
    auto* d = std::get_if<vbus::Done>(&*m);
    if (!d) {
        ADD_FAILURE() << "expected DONE for " << id << ", got " << vbus::MessageName(*m);
        return {};
    }
    EXPECT_EQ(d->id, id);
    return *d;
}

void Client::Barrier() {
    const std::uint32_t id = NextId();
    auto out = Call(isPipe ? ResetRequest(id) : TypeRequest(id));
    EXPECT_EQ(out.done.id, id) << "another request completed before the barrier";
}

std::unique_ptr<Client> OpenHandle(const Board& board, const std::string& pipe) {
    auto c = Client::Connect(board);
    if (!c) {
        ADD_FAILURE() << "cannot connect";
        return nullptr;
    }
    const std::string path = pipe.empty() ? board.DevicePath() : board.DevicePath() + "\\" + pipe;
    auto w = c->Hello(vbus::Purpose::Open, path);
    EXPECT_EQ(w.error, 0u) << "open " << path;
    c->isPipe = !pipe.empty();
    return c;
}

vbus::Submit ReadRequest(std::uint32_t id, std::uint32_t count) {
    return {id, vbus::Op::Read, 0, count, {}, {}};
}

vbus::Submit WriteRequest(std::uint32_t id, vbus::Bytes bytes) {
    return {id, vbus::Op::Write, 0, 0, std::move(bytes), {}};
}

vbus::Submit ResetRequest(std::uint32_t id) { return {id, vbus::Op::Ioctl, kIoctlResetPipe, 0, {}, {}}; }

vbus::Bytes ControlBlockBytes(std::uint32_t offset, std::uint32_t length, std::uint32_t request,
                              int blockSize) {
    vbus::Bytes b(static_cast<std::size_t>(blockSize), 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, offset);
    put(4, length);
    put(8, 0x12345678);  // the caller's address; the board must not care
    put(blockSize == 16 ? 12 : 16, request);
    return b;
}

vbus::Submit TransferRequest(std::uint32_t id, std::uint8_t direction, std::uint32_t offset,
                             std::uint16_t size, int blockSize) {
    vbus::Bytes command{0,        0, 0, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                        direction};
    return {id,
            vbus::Op::Ioctl,
            kIoctlTransfer,
            0,
            ControlBlockBytes(offset, 6, kRequestEepromTransfer, blockSize),
            command};
}

vbus::Submit TypeRequest(std::uint32_t id, int blockSize) {
    return {id, vbus::Op::Ioctl, kIoctlBoardType, 1, ControlBlockBytes(0, 1, kRequestBoardType, blockSize),
            {0}};
}

void WriteThroughPipes(const Board& board, std::uint32_t offset, const vbus::Bytes& bytes) {
    auto device = OpenHandle(board);
    auto pipe = OpenHandle(board, "PIPE03");
    ASSERT_TRUE(device && pipe);
    auto t =
        device->Call(TransferRequest(device->NextId(), 0, offset, static_cast<std::uint16_t>(bytes.size())));
    ASSERT_EQ(t.done.error, 0u);
    auto w = pipe->Call(WriteRequest(pipe->NextId(), bytes));
    ASSERT_EQ(w.done.error, 0u);
    ASSERT_EQ(w.done.information, bytes.size());
}

vbus::Bytes ReadThroughPipes(const Board& board, std::uint32_t offset, std::uint16_t size) {
    auto device = OpenHandle(board);
    auto pipe = OpenHandle(board, "PIPE02");
    if (!device || !pipe) return {};
    auto t = device->Call(TransferRequest(device->NextId(), 1, offset, size));
    EXPECT_EQ(t.done.error, 0u);
    auto r = pipe->Call(ReadRequest(pipe->NextId(), size));
    EXPECT_EQ(r.done.error, 0u);
    EXPECT_EQ(r.done.information, r.done.output.size());
    return r.done.output;
}

}  // namespace vboard::test
