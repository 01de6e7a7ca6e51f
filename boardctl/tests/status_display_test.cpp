// keys, clock and display against virtual boards.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sstream>
#include <thread>

#include "board_fixture.h"
#include "commands.h"

namespace {

using vboard::LogOp;

class StatusTest : public BoardctlTest {};

// Reports a board in good order never sends: a key byte that is no key, a clock that is no BCD,
// a report cut short; and a clock that moves only when told.
TEST_F(StatusTest, ReportsOfAnyBytesAreShownAsTheyCome) {
    vboard::Board& board = AddBoard();
    const struct {
        const char* raw;
        int exit;
        const char* keys;  // standard output, or the error
    } cases[] = {
        {"report raw 09 59 5a 25", 0, "none\n"},   // key byte 9: no lamp
        {"report raw fe 00 00 00", 0, "none\n"},   // the highest key byte that is not "none"
        {"report raw 07 10 20 08", 0, "key 8\n"},  // the last lamp
        {"report raw 03 10", 1, "boardctl keys: a short status report on PIPE00 (2 of 4 bytes)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        ASSERT_TRUE(board.Execute(c.raw).ok);
        const RunResult r = Run({"keys"});
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_EQ(c.exit == 0 ? r.out : r.err, c.keys);
    }
    ASSERT_TRUE(board.Execute("report raw 00 59 5a 25").ok);
    EXPECT_EQ(Run({"clock"}).out, "25 : 60 : 59\n");  // decoded as BCD, as Tesmor shows it

    ASSERT_TRUE(board.Execute("report raw off").ok);
    for (const char* command : {"clock stop", "clock 23:59:58", "clock step 3"})
        ASSERT_TRUE(board.Execute(command).ok);
    EXPECT_EQ(Run({"clock"}).out, "00 : 00 : 01\n");
}

TEST_F(StatusTest, OneReportOfKeysAndClock) {
    vboard::Board& board = AddBoard({.clock = vboard::ClockTime{8, 9, 10}});
    EXPECT_EQ(Run({"keys"}).out, "none\n");
    board.SetKey(3, true);
    EXPECT_EQ(Run({"keys"}).out, "key 4\n");  // numbered as Tesmor's lamps
    EXPECT_EQ(Run({"clock"}).out, "08 : 09 : 10\n");
    EXPECT_EQ(Run({"--json", "keys"}).out,
              "{\"ok\":true,\"key\":4,\"code\":3,\"hours\":8,\"minutes\":9,\"seconds\":10,\"clock\":\"08 : "
              "09 : 10\"}\n");
    EXPECT_EQ(Run({"clock", "--json"}).out,
              "{\"ok\":true,\"hours\":8,\"minutes\":9,\"seconds\":10,\"clock\":\"08 : 09 : 10\"}\n");
}

TEST_F(StatusTest, AStalledStatusPipeIsATimeOutNotAHang) {
    vboard::Board& board = AddBoard();
    ASSERT_TRUE(board.Execute("fault PIPE00 stall").ok);
    const RunResult r = Run({"clock"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "boardctl clock: no status report on PIPE00 within 3000 ms\n");
}

// A watch runs until it is stopped, as Ctrl-C stops it, and then ends with exit 0.
TEST_F(StatusTest, WatchFollowsTheKeysUntilStopped) {
    vboard::Board& board = AddBoard();
    CapturedConsole console;
    StopSignal stop;
    const std::vector<std::string> args = {"keys", "--watch"};
    auto watch = std::async(std::launch::async, [&] { return RunBoardctl(args, console, stop); });
    ASSERT_TRUE(Eventually([&] { return console.OutText() == "08 : 09 : 10  none\n"; })) << console.OutText();
    board.SetKey(0, true);
    ASSERT_TRUE(Eventually([&] { return console.OutText().find("key 1\n") != std::string::npos; }));
    board.SetKey(0, false);
    board.SetKey(7, true);
    ASSERT_TRUE(Eventually([&] { return console.OutText().find("key 8\n") != std::string::npos; }));
    // Reports that change nothing show nothing.
    const std::size_t reads = RequestEntries(board, "PIPE00", LogOp::Read).size();
    ASSERT_TRUE(Eventually([&] { return RequestEntries(board, "PIPE00", LogOp::Read).size() >= reads + 3; }));
    // The watch waits in a read without time limit; the stop cancels it (and is repeated, as the
    // interrupt handler repeats it, in case it came between two reads).
    while (watch.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) stop.Request();
    EXPECT_EQ(watch.get(), 0);
    // A line shows only a change: none, key 1, (none, if a report came between), key 8.
    std::vector<std::string> lines;
    std::istringstream text(console.OutText());
    for (std::string line; std::getline(text, line);) {
        if (!lines.empty()) {
            EXPECT_NE(line, lines.back());
        }
        lines.push_back(line);
    }
    EXPECT_LE(lines.size(), 4u) << console.OutText();
}

TEST_F(StatusTest, WatchEndsWithAnErrorWhenTheBoardGoes) {
    vboard::Board& board = AddBoard();
    CapturedConsole console;
    StopSignal stop;
    const std::vector<std::string> args = {"clock", "--watch", "--json"};
    auto watch = std::async(std::launch::async, [&] { return RunBoardctl(args, console, stop); });
    ASSERT_TRUE(Eventually([&] { return !console.OutText().empty(); }));
    board.Unplug();
    ASSERT_EQ(watch.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(watch.get(), 1);
    EXPECT_EQ(console.ErrText(), "boardctl clock: Open driver failed! Can't read from PIPE00.\n");
    EXPECT_NE(console.OutText().find("{\"ok\":false,"), std::string::npos);
}

class DisplayTest : public BoardctlTest {};

TEST_F(DisplayTest, TheValueIsPaddedAndSentAsTesmorSendsIt) {
    vboard::Board& board = AddBoard();
    const RunResult r = Run({"display", "1a2B"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "display: 00001A2B\n");
    EXPECT_EQ(board.Display(), (vboard::Digits{0, 0, 0, 0, 1, 10, 2, 11}));
    const auto writes = RequestEntries(board, "PIPE01", LogOp::Write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].asked, 8u);
}

TEST_F(DisplayTest, BadValuesAreRefusedWithTesmorsMessages) {
    vboard::Board& board = AddBoard();
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"ABCDEF123", "所写数值溢出，最多只能写入8位。"},
        {"", "请填入数值。"},
        {"12G4", "所写数值格式不对，有可能不是16进制数。"},
        {"数值", "所写数值格式不对，有可能不是16进制数。"},
    };
    for (const auto& [value, message] : refused) {
        const RunResult r = Run({"display", value});
        EXPECT_EQ(r.exit, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(RequestEntries(board, "PIPE01", LogOp::Write).empty());
    EXPECT_EQ(Run({"display", "ABCDEF12"}).exit, 0);
}

TEST_F(DisplayTest, ADisplayThatDoesNotTakeTheDigitsInTime) {
    vboard::Board& board = AddBoard();
    ASSERT_TRUE(board.Execute("fault PIPE01 delay 500").ok);
    const RunResult slow = Run({"display", "1"});
    EXPECT_EQ(slow.exit, 1);
    EXPECT_EQ(slow.err, "boardctl display: Data transfer on PIPE01 failed! Aborted.\n");
    ASSERT_TRUE(board.Execute("fault PIPE01 short 4").ok);
    const RunResult part = Run({"display", "1"});
    EXPECT_EQ(part.exit, 1);
    EXPECT_EQ(part.err, "boardctl display: the board took 4 of 8 digits\n");
}

}  // namespace
