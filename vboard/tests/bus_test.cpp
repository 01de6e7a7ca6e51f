// The board on the bus: plug state, several boards, and clients that misbehave.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "test_support.h"
#include "vboard/control_client.h"
#include "vbus/bus_dir.h"

namespace vboard::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(Plug, UnplugEndsEverythingPendingAndKillsOldHandles) {
    TempDir dir;
    Board board(TestOptions(dir));
    ASSERT_TRUE(board.Start());
    const std::string state = vbus::StatePath(board.BusDirectory(), board.Slot());
    EXPECT_EQ(ReadFile(state), "plugged");

    auto status = OpenHandle(board, "PIPE00");
    auto eeprom = OpenHandle(board, "PIPE02");
    auto device = OpenHandle(board);
    status->Start(ReadRequest(1, 4));
    eeprom->Start(ReadRequest(2, 4));
    eeprom->Start(ReadRequest(3, 4));

    board.Unplug();
    EXPECT_EQ(status->WaitDone(1).error, 1167u);
    EXPECT_EQ(eeprom->WaitDone(2).error, 1167u);
    EXPECT_EQ(eeprom->WaitDone(3).error, 1167u);
    EXPECT_EQ(ReadFile(state), "unplugged");
    EXPECT_EQ(device->Call(TypeRequest(4)).done.error, 1167u);

    auto probe = Client::Connect(board);
    EXPECT_FALSE(probe->Hello(vbus::Purpose::Probe).present);
    auto open = Client::Connect(board);
    EXPECT_EQ(open->Hello(vbus::Purpose::Open, board.DevicePath()).error, 2u);

    board.Plug();
    EXPECT_EQ(ReadFile(state), "plugged");
    EXPECT_EQ(device->Call(TypeRequest(5)).done.error, 1167u);  // a handle from before stays dead
    auto fresh = OpenHandle(board);
    EXPECT_EQ(fresh->Call(TypeRequest(6)).done.error, 0u);
}

TEST(Slots, BoardsTakeTheLowestFreeSlotAndListInOrder) {
    TempDir dir;
    std::vector<std::unique_ptr<Board>> boards;
    for (int i = 0; i < 3; ++i) {
        boards.push_back(std::make_unique<Board>(TestOptions(dir, "b" + std::to_string(i))));
        ASSERT_TRUE(boards.back()->Start());
        EXPECT_EQ(boards.back()->Slot(), i);
    }
    boards[1]->Unplug();
    auto list = ListBoards(boards[0]->BusDirectory());
    ASSERT_EQ(list.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].slot, i);
        EXPECT_EQ(list[i].devicePath, boards[i]->DevicePath());
    }
    EXPECT_FALSE(list[1].present);

    // A named slot that is taken is refused; a freed slot is the next one taken.
    auto o = TestOptions(dir, "b9");
    o.slot = 2;
    Board clash(o);
    std::string why;
    EXPECT_FALSE(clash.Start(&why));
    EXPECT_NE(why.find("taken"), std::string::npos) << why;

    const std::string bus = boards[0]->BusDirectory();
    boards[1].reset();
    EXPECT_FALSE(std::filesystem::exists(vbus::SocketPath(bus, 1)));
    EXPECT_FALSE(std::filesystem::exists(vbus::StatePath(bus, 1)));
    Board next(TestOptions(dir, "b1"));
    ASSERT_TRUE(next.Start());
    EXPECT_EQ(next.Slot(), 1);
}

TEST(Slots, BoardsStartingTogetherGetDifferentSlots) {
    TempDir dir;
    std::vector<std::unique_ptr<Board>> boards;
    for (int i = 0; i < 4; ++i)
        boards.push_back(std::make_unique<Board>(TestOptions(dir, "c" + std::to_string(i))));
    std::vector<std::thread> starters;
    for (auto& b : boards) starters.emplace_back([&b] { EXPECT_TRUE(b->Start()); });
    for (auto& t : starters) t.join();
    std::set<int> slots;
    for (auto& b : boards) slots.insert(b->Slot());
    EXPECT_EQ(slots, (std::set<int>{0, 1, 2, 3}));
}

TEST(Connections, ClosingAHandleDropsItsRequestsOnly) {
    TempDir dir;
    Board board(TestOptions(dir));
    ASSERT_TRUE(board.Start());
    auto keep = OpenHandle(board, "PIPE02");
    keep->Start(ReadRequest(1, 4));
    {
        auto gone = OpenHandle(board, "PIPE02");
        gone->Start(ReadRequest(1, 4));
    }
    // The transfer goes to the request that is still there.
    auto device = OpenHandle(board);
    device->Call(TransferRequest(2, 1, 0, 4));
    EXPECT_EQ(keep->WaitDone(1).information, 4u);
    bool closed = false;
    for (const auto& e : board.TrafficLog()) closed |= e.op == LogOp::Close;
    EXPECT_TRUE(closed);
}

class HostileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto o = TestOptions(dir_);
        o.diagnostics = diagnostics_.Sink();
        board_ = std::make_unique<Board>(o);
        ASSERT_TRUE(board_->Start());
        bystander_ = OpenHandle(*board_, "PIPE02");
        bystander_->Start(ReadRequest(1, 4));
    }
    void TearDown() override {
        // The board still serves everyone else, the pending request included.
        auto device = OpenHandle(*board_);
        device->Call(TransferRequest(2, 1, 0, 4));
        EXPECT_EQ(bystander_->WaitDone(1).information, 4u);
    }

    // Sends the bytes on a fresh connection (after HELLO when `open`), expects the board to close
    // it with one diagnostics line naming the fault.
    void ExpectRefused(const vbus::Bytes& bytes, const std::string& fault, bool open = false) {
        auto c = Client::Connect(*board_);
        if (open) c->Hello(vbus::Purpose::Open, board_->DevicePath());
        c->SendRaw(bytes);
        EXPECT_TRUE(c->WaitClosed()) << fault;
        EXPECT_TRUE(diagnostics_.WaitFor(fault)) << fault;
    }

    TempDir dir_;
    Diagnostics diagnostics_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<Client> bystander_;
};

vbus::Bytes Frame(std::uint32_t length, vbus::Bytes body) {
    vbus::Bytes b{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

TEST_F(HostileTest, MalformedFramesCloseOnlyTheirConnection) {
    ExpectRefused(Frame(0, {}), "frame length 0 out of range");
    ExpectRefused(Frame(0x7fffffff, {0x02}), "frame length 2147483647 out of range");
    ExpectRefused(Frame(3, {0x55, 0, 0}), "unknown frame type 0x55");
    ExpectRefused(Frame(2, {0x01, 1}), "malformed payload in frame type 0x01");
    ExpectRefused(vbus::Encode(vbus::Submit{1, vbus::Op::Read, 0, 4, {}, {}}), "SUBMIT before HELLO");
    ExpectRefused(vbus::Encode(vbus::Hello{1, vbus::Purpose::Probe, ""}), "a second HELLO", true);
    ExpectRefused(vbus::Encode(vbus::Done{1, 0, 0, {}, {}}), "DONE is not for the board", true);
    ExpectRefused(vbus::Encode(vbus::Command{"unplug"}), "COMMAND on a connection that is no control", true);
    // A SUBMIT that claims a huge output.
    auto big = vbus::Encode(vbus::Submit{1, vbus::Op::Read, 0, 4, {}, {}});
    big[4 + 1 + 4 + 1 + 4 + 3] = 0x7f;
    ExpectRefused(big, "SUBMIT asks for", true);
    // Every line names the peer.
    for (const auto& line : diagnostics_.Lines())
        EXPECT_NE(line.find("closing client#"), std::string::npos) << line;
    EXPECT_TRUE(board_->Plugged());
}

TEST_F(HostileTest, ReusedIdsAndAFloodOfRequestsAreRefused) {
    auto c = OpenHandle(*board_, "PIPE00");
    c->Start(ReadRequest(5, 4));
    c->Send(ReadRequest(5, 4));
    EXPECT_TRUE(c->WaitClosed());
    EXPECT_TRUE(diagnostics_.WaitFor("reuses the id 5"));

    auto flood = OpenHandle(*board_, "PIPE00");
    vbus::Bytes many;
    for (std::uint32_t id = 1; id <= 1100; ++id) {
        auto f = vbus::Encode(ReadRequest(id, 4));
        many.insert(many.end(), f.begin(), f.end());
    }
    flood->SendRaw(many);
    EXPECT_TRUE(flood->WaitClosed());
    EXPECT_TRUE(diagnostics_.WaitFor("requests pending"));
}

TEST_F(HostileTest, AnotherProtocolVersionIsTurnedAway) {
    auto c = Client::Connect(*board_);
    auto w = c->Hello(vbus::Purpose::Open, board_->DevicePath(), 2);
    EXPECT_EQ(w.error, 50u);
    EXPECT_TRUE(c->WaitClosed());
}

}  // namespace
}  // namespace vboard::test

namespace vboard::test {
namespace {

TEST(EepromFile, WithoutANameTheFileGoesUnderTheDataHome) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    auto o = TestOptions(dir);
    o.eepromFile.clear();
    {
        Board board(o);
        ASSERT_TRUE(board.Start());
        EXPECT_EQ(board.EepromFile(), dir.File("data") + "/vboard/board-0.eeprom");
        std::string why;
        ASSERT_TRUE(board.WriteEeprom(3, {0x42}, &why)) << why;
    }
    ::unsetenv("XDG_DATA_HOME");
    std::ifstream in(dir.File("data") + "/vboard/board-0.eeprom", std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(content.size(), 256u);
    EXPECT_EQ(content[3], 0x42);
    EXPECT_EQ(static_cast<unsigned char>(content[4]), 0xffu);
}

}  // namespace
}  // namespace vboard::test
