// A recorded session as a replaying board reads it: what is refused, and how each request that
// comes is held to the next one recorded for its target.
#include "vboard/replay.h"

#include <gtest/gtest.h>

namespace vboard {
namespace {

// A write of de ad be ef at 16 and a read of it (control records of a 64-bit program, data
// pointers zeroed), then one status read recorded without an answer.
const char kSession[] =
    "board-trace 1\n"
    "# a comment\n"
    "4 0.000020 T1 SetupDiGetDeviceInterfaceDetail result=ok error=0 path=\\\\?\\board#0\n"
    "9 0.001 T1 DeviceIoControl handle=h2:device code=0x8000200c "
    "in=000000000100000000000000000000007204000000000000"
    " window=00 len=1 result=pending error=997\n"
    "10 0.002 T1 GetOverlappedResult handle=h2:device for=9 result=ok error=0 bytes=1 out=22 window=22 "
    "pending_ms=0.05\n"
    "14 0.003 T2 DeviceIoControl handle=h3:device code=0x80002010 "
    "in=100000000600000000000000000000007404000000000000"
    " window=000000040000 len=0 result=ok error=0 bytes=0\n"
    "16 0.004 T2 WriteFile handle=h4:PIPE03 in=deadbeef result=pending error=997\n"
    "17 0.005 T2 GetOverlappedResult handle=h4:PIPE03 for=16 result=ok error=0 bytes=4 pending_ms=40\n"
    "24 0.006 T3 ReadFile handle=h6:PIPE02 len=4 result=pending error=997\n"
    "25 0.007 T3 GetOverlappedResult handle=h6:PIPE02 for=24 result=ok error=0 bytes=4 out=deadbeef "
    "pending_ms=0.01\n"
    "30 0.008 T4 ReadFile handle=h7:PIPE00 len=4 result=pending error=997\n"
    "31 0.009 T4 GetOverlappedResult handle=h7:PIPE00 for=30 result=fail error=995 bytes=0 pending_ms=9\n";

ReplayRequest Write(std::vector<std::uint8_t> bytes) {
    ReplayRequest r;
    r.target = Target::Pipe03;
    r.pipe = 3;
    r.write = true;
    r.input = std::move(bytes);
    return r;
}

ReplayRequest Read(Target target, std::uint32_t length) {
    ReplayRequest r;
    r.target = target;
    r.pipe = static_cast<int>(target);
    r.outLength = length;
    return r;
}

std::shared_ptr<Replay> Load(ReplayOptions options = {}) {
    std::string why;
    auto replay = Replay::Parse(kSession, std::move(options), why);
    EXPECT_TRUE(replay) << why;
    return replay;
}

TEST(Replay, WhatIsNoTraceIsRefusedWithItsLine) {
    const std::pair<std::string, std::string> refused[] = {
        {"", "empty"},
        {"hello\n", "not a board trace"},
        {"board-trace 2\n", "a newer trace"},
        {"board-trace 1\n7 0.1 T1\n", "line 2: not a trace line"},
        {"board-trace 1\n7 0.1 T1 ReadFile handle=h1:PIPE02 len\n", "line 2: \"len\" is no key=value"},
        {"board-trace 1\n7 0.1 T1 WriteFile handle=h1:PIPE03 in=xyz result=ok error=0\n",
         "line 2: in or window"},
        {"board-trace 1\n\n7 0.1 T1 ReadFile handle=h1:thing len=4 result=ok error=0\n",
         "line 3: a ReadFile on"},
    };
    for (const auto& [text, why] : refused) {
        std::string said;
        EXPECT_FALSE(Replay::Parse(text, {}, said)) << text;
        EXPECT_NE(said.find(why), std::string::npos) << said;
    }
}

TEST(Replay, TheBoardIsTheOneRecorded) {
    const auto replay = Load();
    EXPECT_EQ(replay->DevicePath(), "\\\\?\\board#0");
    EXPECT_EQ(replay->Type(), 0x22);
}

// Each target keeps its own order; the first request that differs is named with its line, and
// what was never asked for is the earliest line still waiting.
TEST(Replay, RequestsAreHeldToTheRecordingInOrder) {
    const auto replay = Load();
    ReplayAnswer answer;
    std::string difference;

    EXPECT_FALSE(replay->Next(Write({0xde, 0xad, 0xbe, 0xee}), answer, difference));
    EXPECT_EQ(difference,
              "trace line 7: expected PIPE03 write of 4 bytes [de ad be ef], got PIPE03 write of 4 bytes "
              "[de ad be ee]");
    ASSERT_TRUE(replay->Next(Write({0xde, 0xad, 0xbe, 0xef}), answer, difference)) << difference;
    EXPECT_EQ(answer.information, 4u);
    EXPECT_EQ(answer.delayMs, 40);
    EXPECT_FALSE(replay->Next(Write({1}), answer, difference));
    EXPECT_EQ(difference, "after trace line 7: nothing more was recorded there, got PIPE03 write of 1 bytes");

    EXPECT_EQ(replay->FirstMissing(), "trace line 4: board type request");
    ASSERT_TRUE(replay->Next(Read(Target::Pipe02, 4), answer, difference)) << difference;
    EXPECT_EQ(answer.output, (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));

    // The status read recorded as cancelled is never answered; one beyond the recording waits too.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(replay->Next(Read(Target::Pipe00, 4), answer, difference)) << difference;
        EXPECT_TRUE(answer.never);
    }
    EXPECT_EQ(replay->Differences().size(), 2u);
    replay->Restart();
    EXPECT_EQ(replay->FirstMissing(), "trace line 4: board type request");
}

TEST(Replay, LenientFieldsAndSpeed) {
    ReplayOptions options;
    options.lenient = {"data", "length", "timing"};
    const auto replay = Load(options);
    ReplayAnswer answer;
    std::string difference;
    EXPECT_TRUE(replay->Next(Write({1, 2}), answer, difference)) << difference;
    EXPECT_EQ(answer.delayMs, 0);
    EXPECT_TRUE(replay->Next(Read(Target::Pipe02, 64), answer, difference)) << difference;

    options = {};
    options.speed = 4;
    EXPECT_TRUE(Load(options)->Next(Write({0xde, 0xad, 0xbe, 0xef}), answer, difference));
    EXPECT_EQ(answer.delayMs, 10);
}

}  // namespace
}  // namespace vboard
