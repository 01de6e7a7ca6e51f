#include <atomic>
#include <cstring>
#include <set>
#include <thread>

#include "board_fixture.h"
#include "board_link.h"
#include "winapi_standin.h"

namespace {

class Discovery : public BoardLinkTest {};

TEST_F(Discovery, NoBoardLeavesThePathAlone) {
    DevicePath.Store("previous");
    EXPECT_EQ(FindBoard(), -1);
    EXPECT_EQ(DevicePath.Get(), "previous");
    EXPECT_EQ(IdentifyBoard().title, std::string("No Board Attached "));
}

TEST_F(Discovery, TheLowerMemberIndexWinsAndAFailingOpenIsSkipped) {
    auto& first = AddBoard({.slot = 3});
    auto& second = AddBoard({.slot = 7});
    ASSERT_EQ(FindBoard(), 0);
    EXPECT_EQ(DevicePath.Get(), first.DevicePath());

    first.SetDeviceOpenError(ERROR_GEN_FAILURE);
    ASSERT_EQ(FindBoard(), 0);
    EXPECT_EQ(DevicePath.Get(), second.DevicePath());

    // An unplugged board is not listed at all.
    first.SetDeviceOpenError(0);
    first.Unplug();
    ASSERT_EQ(FindBoard(), 0);
    EXPECT_EQ(DevicePath.Get(), second.DevicePath());
    second.Unplug();
    EXPECT_EQ(FindBoard(), -1);
}

TEST_F(Discovery, ThePathOfTheLastInterfaceReadStaysEvenWhenItFailed) {
    auto& only = AddBoard();
    only.SetDeviceOpenError(ERROR_ACCESS_DENIED);
    DevicePath.Store("previous");
    EXPECT_EQ(FindBoard(), -1);
    EXPECT_EQ(DevicePath.Get(), only.DevicePath());
}

TEST_F(Discovery, ATooLongDevicePathIsRefusedAndTheWalkGoesOn) {
    const std::string longPath = "\\\\?\\vboard#" + std::string(249 - 11, 'x');
    ASSERT_EQ(longPath.size(), 249u);
    AddBoard({.slot = 0, .devicePath = longPath});
    auto& fits = AddBoard({.slot = 1, .devicePath = "\\\\?\\vboard#" + std::string(248 - 11, 'y')});
    DevicePath.Store("previous");
    ASSERT_EQ(FindBoard(), 0);
    EXPECT_EQ(DevicePath.Get(), fits.DevicePath());
    EXPECT_EQ(DevicePath.Get().size(), 248u);

    // The longest accepted path still leaves room for every pipe.
    HANDLE pipe = OpenBoardPipe("PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    CloseBoardHandle(pipe);
}

TEST_F(Discovery, AMissingDeviceSetMeansNoBoardAtOnce) {
    AddBoard();
    standin::FailClassDevs(ERROR_GEN_FAILURE);
    EXPECT_EQ(FindBoard(), -1);
    standin::ClearSetupFaults();
    EXPECT_EQ(FindBoard(), 0);
}

TEST_F(Discovery, AFailedSizeQueryCountsAsAFailedInterface) {
    AddBoard();
    standin::FailDetailSizeQuery(ERROR_NOT_ENOUGH_MEMORY);
    DevicePath.Store("previous");
    EXPECT_EQ(FindBoard(), -1);
    EXPECT_EQ(DevicePath.Get(), "previous");
}

TEST_F(Discovery, PipePathIsTheDevicePathABackslashAndTheName) {
    auto& board = AddBoard();
    ASSERT_EQ(FindBoard(), 0);
    for (const char* name : {"PIPE00", "PIPE01", "PIPE02", "PIPE03"}) {
        HANDLE pipe = OpenBoardPipe(name);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(CloseBoardHandle(pipe), 0);
    }
    auto opens = LogEntries(board, vboard::LogOp::Open);
    ASSERT_GE(opens.size(), 4u);
    std::set<std::string> targets;
    for (const auto& e : opens)
        if (e.error == 0) targets.insert(e.target);
    EXPECT_TRUE(targets.count("PIPE00") && targets.count("PIPE03"));

    // Any other form is not the board's.
    const std::string base = board.DevicePath();
    for (const std::string& wrong : {base + "/PIPE02", base + "\\\\PIPE02", base + "PIPE02"}) {
        HANDLE h = CreateFileA(wrong.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << wrong;
    }
    board.SetPipeOpenError(2, ERROR_GEN_FAILURE);
    EXPECT_EQ(OpenBoardPipe("PIPE02"), INVALID_HANDLE_VALUE);
}

TEST_F(Discovery, IdentificationNamesTheBoardByItsTypeByte) {
    auto& board = AddBoard({.type = 0x21});
    EXPECT_EQ(IdentifyBoard().title, std::string("   QL-3306"));
    board.SetType(0x22);
    auto known = IdentifyBoard();
    EXPECT_EQ(known.title, std::string("   LINKBAY 2.0"));
    EXPECT_EQ(known.presence, BoardPresence::Known);
    board.SetType(0x23);
    auto unknown = IdentifyBoard();
    EXPECT_EQ(unknown.title, std::string("Unknown Board"));
    EXPECT_EQ(unknown.presence, BoardPresence::Unknown);

    board.SetFault(vboard::Target::Type, {vboard::FaultMode::Fail, ERROR_GEN_FAILURE});
    EXPECT_EQ(IdentifyBoard().title, std::string("No Board Attached "));
    // A query that succeeds without writing the byte leaves the preset 0.
    board.SetFault(vboard::Target::Type, {vboard::FaultMode::NoByte, 0});
    auto silent = IdentifyBoard();
    EXPECT_EQ(silent.type, 0);
    EXPECT_EQ(silent.title, std::string("Unknown Board"));
    EXPECT_EQ(standin::OpenHandleCount(), 0u) << "every detection closes what it opened";
}

TEST_F(Discovery, ReadersAlwaysSeeOneWholePath) {
    auto& a = AddBoard({.slot = 0, .devicePath = "\\\\?\\vboard#short"});
    auto& b = AddBoard({.slot = 1, .devicePath = "\\\\?\\vboard#" + std::string(200, 'L')});
    const std::set<std::string> whole = {a.DevicePath(), b.DevicePath()};
    DevicePath.Store(a.DevicePath().c_str());
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            char copy[DevicePathBuffer::kSize];
            DevicePath.CopyTo(copy);
            if (copy[0] != '\0' && !whole.count(copy)) ++torn;
        }
    });
    for (int i = 0; i < 40; ++i) {
        a.SetDeviceOpenError(i % 2 ? ERROR_GEN_FAILURE : 0);
        FindBoard();
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
