// eeprom read, write, verify and fill against virtual boards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "board_fixture.h"

namespace {

using vboard::LogOp;

std::vector<std::uint8_t> Contents(const vboard::Board& board) {
    const auto eeprom = board.EepromContents();
    return {eeprom.begin(), eeprom.end()};
}

class EepromTest : public BoardctlTest {
  protected:
    vboard::Board& PatternBoard() {
        vboard::Board& board = AddBoard();
        EXPECT_TRUE(board.WriteEeprom(0, Pattern()));
        return board;
    }
};

TEST_F(EepromTest, WholeEepromRoundTripInEveryFormat) {
    vboard::Board& board = PatternBoard();
    for (const std::string format : {"dump", "text", "bin", "ihex", "hex"}) {
        SCOPED_TRACE(format);
        const std::string file = File("saved." + format);
        const RunResult read = Run({"eeprom", "read", "-o", file, "--format", format});
        ASSERT_EQ(read.exit, 0) << read.err;
        ASSERT_TRUE(board.WriteEeprom(0, std::vector<std::uint8_t>(256, 0)));
        const RunResult write = Run({"eeprom", "write", file, "--format", format, "--verify"});
        ASSERT_EQ(write.exit, 0) << write.err;
        EXPECT_EQ(write.out, "wrote 256 bytes at 0x00..0xff, verified\n");
        EXPECT_EQ(Contents(board), Pattern());
    }
}

TEST_F(EepromTest, ReadsGoInJobsOf64BytesAsVarnelsWorkerDoesThem) {
    vboard::Board& board = PatternBoard();
    const RunResult r = Run({"eeprom", "read", "--start", "0x10", "--length", "100", "--format", "text"});
    ASSERT_EQ(r.exit, 0) << r.err;
    // Each job: the device and PIPE02 opened, one transfer request, one read of the job's size.
    const auto reads = RequestEntries(board, "PIPE02", LogOp::Read);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].asked, 64u);
    EXPECT_EQ(reads[1].asked, 36u);
    EXPECT_EQ(RequestEntries(board, "PIPE02", LogOp::Open).size(), 2u);
    std::size_t transfers = 0;
    for (const auto& e : RequestEntries(board, "device", LogOp::Ioctl)) transfers += e.code == 0x80002010u;
    EXPECT_EQ(transfers, 2u);
    const auto pattern = Pattern();
    EXPECT_EQ(r.out.substr(0, 15), "73 7a 81 88 8f ");  // bytes 0x10.. of the pattern
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7);
}

TEST_F(EepromTest, StandardOutputIsADumpAndJsonCarriesTheBytes) {
    PatternBoard();
    const RunResult dump = Run({"eeprom", "read"});
    ASSERT_EQ(dump.exit, 0) << dump.err;
    EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 16);
    EXPECT_EQ(dump.out.substr(0, 28), "00: 03 0a 11 18 1f 26 2d 34 ");
    const RunResult json = Run({"--json", "eeprom", "read", "--length", "3"});
    ASSERT_EQ(json.exit, 0) << json.err;
    EXPECT_EQ(json.out, "{\"ok\":true,\"start\":0,\"length\":3,\"bytes\":[3,10,17]}\n");
}

// A FIFO (as /dev/null, a device) cannot be replaced by a file: it is written as it is.
// -o touches only what the user named: a link is followed and its target replaced, a user's
// file beside it under any name stays as it is, and nothing of boardctl's own is left behind.
TEST_F(EepromTest, OutputReplacesOnlyTheFileNamed) {
    PatternBoard();
    std::filesystem::create_directory(File("out"));
    WriteFile("out/target.txt", "old");
    WriteFile("out/target.txt.partial", "the user's");
    std::filesystem::create_symlink("target.txt", File("out/link.txt"));
    std::filesystem::create_symlink("new.txt", File("out/dangling.txt"));
    for (const char* name : {"out/link.txt", "out/dangling.txt"}) {
        const RunResult r = Run({"eeprom", "read", "--length", "2", "-o", File(name)});
        EXPECT_EQ(r.exit, 0) << r.err;
    }
    EXPECT_EQ(ReadFile("out/target.txt"), "03 0a \n");
    EXPECT_EQ(ReadFile("out/new.txt"), "03 0a \n");
    EXPECT_TRUE(std::filesystem::is_symlink(File("out/link.txt")));
    EXPECT_EQ(ReadFile("out/target.txt.partial"), "the user's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(File("out")), {}), 5);
}

TEST_F(EepromTest, OutputToAPipeIsWrittenDirectly) {
    PatternBoard();
    ASSERT_EQ(::mkfifo(File("fifo").c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return ReadFile("fifo"); });
    const RunResult r = Run({"eeprom", "read", "-o", File("fifo"), "--format", "bin"});
    EXPECT_EQ(r.exit, 0) << r.err;
    if (r.exit != 0) std::ofstream(File("fifo")) << "";  // lets the reader go
    const std::vector<std::uint8_t> pattern = Pattern();
    EXPECT_EQ(reader.get(), std::string(pattern.begin(), pattern.end()));
    EXPECT_TRUE(std::filesystem::is_fifo(File("fifo")));
}

TEST_F(EepromTest, WriteDataAndFill) {
    vboard::Board& board = AddBoard();
    ASSERT_EQ(Run({"eeprom", "write", "--data", "48 65 6C 6c 6f", "--start", "32"}).exit, 0);
    const RunResult fill =
        Run({"--json", "eeprom", "fill", "0xa5", "--start", "200", "--length", "56", "--verify"});
    ASSERT_EQ(fill.exit, 0) << fill.err;
    EXPECT_EQ(fill.out,
              "{\"ok\":true,\"written\":56,\"ranges\":[{\"start\":200,\"length\":56}],\"verified\":true}\n");
    const auto bytes = Contents(board);
    EXPECT_EQ(std::string(bytes.begin() + 32, bytes.begin() + 37), "Hello");
    EXPECT_EQ(bytes[199], 0xff);
    EXPECT_EQ(std::count(bytes.begin() + 200, bytes.end(), 0xa5), 56);
    EXPECT_EQ(Run({"eeprom", "fill", "256"}).exit, 2);
}

TEST_F(EepromTest, VerifyNamesTheFirstDifference) {
    vboard::Board& board = PatternBoard();
    ASSERT_EQ(Run({"eeprom", "read", "-o", File("saved.bin")}).exit, 0);
    EXPECT_EQ(Run({"eeprom", "verify", File("saved.bin")}).exit, 0);
    ASSERT_TRUE(board.WriteEeprom(0x90, {0x00}));
    ASSERT_TRUE(board.WriteEeprom(0x42, {0x00}));
    const RunResult r = Run({"eeprom", "verify", File("saved.bin")});
    EXPECT_EQ(r.exit, 4);
    EXPECT_EQ(r.err, "boardctl eeprom verify: address 0x42 holds 0x00, " + File("saved.bin") +
                         " has 0xd1 (2 bytes differ)\n");
    const RunResult json = Run({"--json", "eeprom", "verify", File("saved.bin")});
    EXPECT_NE(json.out.find("\"exit\":4,\"differences\":[{\"address\":66,\"board\":0,\"file\":209},"
                            "{\"address\":144,\"board\":0,\"file\":"),
              std::string::npos)
        << json.out;
    // Only the range the file gives is compared.
    ASSERT_EQ(
        Run({"eeprom", "read", "--start", "0", "--length", "0x40", "-o", File("low.hex"), "--format", "text"})
            .exit,
        0);
    EXPECT_EQ(Run({"eeprom", "verify", File("low.hex"), "--format", "text"}).exit, 0);
}

TEST_F(EepromTest, BadFilesAreRefusedBeforeAnythingIsWritten) {
    vboard::Board& board = PatternBoard();
    WriteFile("digit.hex.txt", "01 02 03\n04 0x 06\n");
    WriteFile("sum.ihx", ":0100000011EF\n:00000001FF\n");
    WriteFile("past.ihx", ":0100000011EE\n:02010000AABB98\n:00000001FF\n");
    WriteFile("empty.bin", "");
    WriteFile("long.bin", std::string(200, 'x'));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"eeprom", "write", File("digit.hex.txt"), "--format", "text"},
         File("digit.hex.txt") + ":2: column 5: 'x' is no hex digit (text; nothing written)"},
        {{"eeprom", "write", File("sum.ihx")}, File("sum.ihx") + ":1: bad checksum (ihex; nothing written)"},
        {{"eeprom", "write", File("past.ihx")},
         File("past.ihx") + ":2: 2 bytes at address 256 run past address 255 (ihex; nothing written)"},
        {{"eeprom", "write", File("empty.bin")},
         File("empty.bin") + ": the file holds no bytes (bin; nothing written)"},
        {{"eeprom", "write", File("long.bin"), "--start", "100"},
         File("long.bin") + ": 200 bytes at address 100 run past address 255 (bin; nothing written)"},
        {{"eeprom", "write", File("missing.bin")}, File("missing.bin") + ": cannot be read"},
        {{"eeprom", "write", File("sum.ihx"), "--start", "4"}, "carries its addresses"},
        {{"eeprom", "write", "--data", "01 02 zz"}, "--data: column 7: 'z' is no hex digit"},
    };
    for (const auto& [args, why] : refused) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.exit, 2) << args[2];
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    }
    // The board saw nothing at all: not even a look for its type.
    EXPECT_TRUE(board.TrafficLog().empty());
    EXPECT_EQ(Contents(board), Pattern());
}

TEST_F(EepromTest, NoBoardAndUnknownBoards) {
    EXPECT_EQ(Run({"eeprom", "read"}).exit, 3);
    const RunResult list = Run({"list"});
    EXPECT_EQ(list.exit, 3);
    EXPECT_EQ(list.err, "boardctl list: no board found\n");
    AddBoard({.type = 0x41});
    const RunResult unknown = Run({"eeprom", "read"});
    EXPECT_EQ(unknown.exit, 3);
    EXPECT_EQ(unknown.err, "boardctl eeprom read: the board is of an unknown type (0x41): Unknown Board\n");
    EXPECT_EQ(Run({"--board", "1", "keys"}).exit, 3);
}

TEST_F(EepromTest, BoardsAreChosenByTheirNumberInDiscoveryOrder) {
    vboard::Board& first = AddBoard();
    vboard::Board& second = AddBoard({.type = 0x22});
    ASSERT_TRUE(second.WriteEeprom(0, {0x5a}));
    const RunResult list = Run({"list"});
    ASSERT_EQ(list.exit, 0) << list.err;
    EXPECT_EQ(list.out, "0  0x21  QL-3306\n1  0x22  LINKBAY 2.0\n");
    const RunResult json = Run({"list", "--json"});
    EXPECT_NE(
        json.out.find("{\"board\":1,\"opens\":true,\"type\":34,\"name\":\"LINKBAY 2.0\",\"known\":true,"),
        std::string::npos)
        << json.out;
    const RunResult read = Run({"--board", "1", "eeprom", "read", "--length", "1", "--format", "text"});
    EXPECT_EQ(read.out, "5a \n");
    EXPECT_EQ(RequestEntries(second, "PIPE02", LogOp::Read).size(), 1u);

    // A board that cannot be opened is listed as such; without --board the next one is taken,
    // as discovery takes it.
    ASSERT_TRUE(first.Execute("fault device openfail").ok);
    EXPECT_EQ(Run({"list"}).out, "0  --    cannot be opened\n1  0x22  LINKBAY 2.0\n");
    EXPECT_EQ(Run({"--board", "0", "eeprom", "read"}).exit, 3);
    EXPECT_EQ(Run({"eeprom", "read", "--length", "1", "--format", "text"}).out, "5a \n");
}

// Board failures end with exit 1, one line naming where and why, and no output that could pass
// for the whole EEPROM.
TEST_F(EepromTest, BoardFailuresAreReportedAndNothingPartialIsShown) {
    vboard::Board& board = PatternBoard();
    struct Case {
        std::string fault;
        std::vector<std::string> args;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"fault PIPE02 short 10",
         {"eeprom", "read"},
         "at address 0x00 (0 of 256 bytes read): the board sent 10 of 64 bytes"},
        {"fault PIPE02 stall",
         {"eeprom", "read", "-o", File("stalled.bin")},
         "Data transfer on PIPE02 failed! Aborted. (no answer within 1000 ms)"},
        {"fault transfer refuse", {"eeprom", "read"}, "Requesting data transfer on PIPE02 failed! Aborted."},
        {"fault PIPE02 openfail", {"eeprom", "read"}, "Open driver failed! Can't read from PIPE02."},
        {"fault PIPE03 stall",
         {"eeprom", "fill", "0"},
         "at address 0x00: Data transfer on PIPE03 failed! Aborted. (no answer within 1000 ms)\n"
         "  state unknown from 0x00 (64 bytes): read back, unchanged\n"
         "  not written: 0x40..0xff (192 bytes)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(board.Execute(c.fault).ok);
        const RunResult r = Run(c.args);
        board.ClearFaults();
        EXPECT_EQ(r.exit, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(File("stalled.bin")));
    EXPECT_EQ(Contents(board), Pattern());
}

TEST_F(EepromTest, BoardUnpluggedInTheMiddleOfADump) {
    vboard::Board& board = PatternBoard();
    // Slow reads, so that the dump is still going when the board goes.
    ASSERT_TRUE(board.Execute("fault PIPE02 delay 150").ok);
    WriteFile("old.bin", "old");
    auto dump = std::async(std::launch::async, [&] {
        return Run({"eeprom", "read", "-o", File("old.bin")});
    });
    ASSERT_TRUE(Eventually([&] { return RequestEntries(board, "PIPE02", LogOp::Read).size() >= 2; }));
    board.Unplug();
    const RunResult r = dump.get();
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("bytes read): "), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile("old.bin"), "old");  // the file is not replaced by part of a dump
}

// A write that stops early says exactly what it left: the ranges written, the ranges not
// written, the one job whose state is unknown and what reading it back shows; the EEPROM holds
// what the report says. One case per way a write stops.
TEST_F(EepromTest, AWriteThatStopsEarlySaysWhatItLeft) {
    std::vector<std::uint8_t> image(256);
    for (int i = 0; i < 256; ++i) image[i] = static_cast<std::uint8_t>(0xff - i);
    std::ofstream(File("image.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), 256);
    // Two runs: 16 bytes at 0x00 and 32 at 0x40 (Intel HEX with a gap).
    WriteFile("runs.hex",
              ":10000000FFFEFDFCFBFAF9F8F7F6F5F4F3F2F1F078\n"
              ":10004000BFBEBDBCBBBAB9B8B7B6B5B4B3B2B1B038\n"
              ":10005000AFAEADACABAAA9A8A7A6A5A4A3A2A1A028\n"
              ":00000001FF\n");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<void(vboard::Board&, StopSignal&)> during;  // on a thread of its own
        int exit;
        std::string report;  // in the text, after the first line
        std::string json;    // in the --json object
        int newBytes;        // the EEPROM holds the image's bytes up to here, the pattern after
    };
    const auto afterWrites = [&](vboard::Board& board, std::size_t writes) {
        return Eventually([&] { return RequestEntries(board, "PIPE03", LogOp::Write).size() >= writes; });
    };
    const std::vector<Case> cases = {
        {"the second run stops half written",
         {"eeprom", "write", File("runs.hex")},
         [](vboard::Board& board, StopSignal&) {
             board.SetFault(vboard::Target::Pipe03, {vboard::FaultMode::Short, 16});
         },
         1,
         "  written: 0x00..0x0f (16 bytes)\n  state unknown from 0x40 (32 bytes): read back, partly written "
         "(16 of 32 bytes)\n",
         "\"written\":[{\"start\":0,\"length\":16}],\"not_written\":[],\"unknown\":[{\"start\":64,\"length\":"
         "32}],"
         "\"readback\":[{\"start\":64,\"length\":32,\"state\":\"partly written\",\"changed\":16,\"of\":32}]",
         -1},
        {"unplugged in the middle",
         {"eeprom", "write", File("image.bin")},
         [&](vboard::Board& board, StopSignal&) {
             ASSERT_TRUE(afterWrites(board, 2));
             board.Unplug();
         },
         1,
         "  written: 0x00..0x3f (64 bytes)\n  state unknown from 0x40 (64 bytes): could not be read back",
         "\"written\":[{\"start\":0,\"length\":64}],\"not_written\":[{\"start\":128,\"length\":128}],"
         "\"unknown\":[{\"start\":64,\"length\":64}]}",
         64},
        {"interrupted in the middle",
         {"eeprom", "write", File("image.bin")},
         [&](vboard::Board& board, StopSignal& stop) {
             ASSERT_TRUE(afterWrites(board, 2));
             stop.Request();
         },
         130,
         "  written: 0x00..0x3f (64 bytes)\n  state unknown from 0x40 (64 bytes): read back, unchanged\n"
         "  not written: 0x80..0xff (128 bytes)\n",
         "\"unknown\":[{\"start\":64,\"length\":64}],\"readback\":[{\"start\":64,\"length\":64,\"state\":"
         "\"unchanged\"",
         64},
    };
    for (const Case& c : cases) {
        for (const bool json : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (json ? " (json)" : ""));
            bus_->RemoveBoards();
            vboard::Board& board = PatternBoard();
            // The second write waits long enough to be cut; the runs case sets its own fault.
            if (c.newBytes >= 0) board.SetFault(vboard::Target::Pipe03, {vboard::FaultMode::Delay, 300});
            StopSignal stop;
            std::vector<std::string> args = c.args;
            if (json) args.insert(args.begin(), "--json");
            std::thread during;
            if (c.newBytes < 0)
                c.during(board, stop);  // before the write: the fault is the board's from the start
            else
                during = std::thread([&] { c.during(board, stop); });
            const RunResult r = Run(args, stop);
            if (during.joinable()) during.join();
            EXPECT_EQ(r.exit, c.exit) << r.err;
            if (json)
                EXPECT_NE(r.out.find(c.json), std::string::npos) << r.out;
            else
                EXPECT_NE(r.err.find(c.report), std::string::npos) << r.err;
            if (c.newBytes >= 0) {
                std::vector<std::uint8_t> expected = Pattern();
                std::copy(image.begin(), image.begin() + c.newBytes, expected.begin());
                EXPECT_EQ(Contents(board), expected);
            }
        }
    }
}

// A torn write: the first bytes of a job reach the EEPROM, then the request fails.
TEST_F(EepromTest, ATornWriteIsReadBackAsPartlyWritten) {
    vboard::Board& board = PatternBoard();
    ASSERT_TRUE(board.Execute("fault PIPE03 tear 10").ok);
    const RunResult r = Run({"eeprom", "fill", "0"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("state unknown from 0x00 (64 bytes): read back, partly written (10 of 64 bytes)\n"
                         "  not written: 0x40..0xff (192 bytes)\n"),
              std::string::npos)
        << r.err;
    std::vector<std::uint8_t> expected = Pattern();
    std::fill(expected.begin(), expected.begin() + 10, 0);
    EXPECT_EQ(Contents(board), expected);
}

// Verification follows every write and fill unless --no-verify; it reads the bytes back.
TEST_F(EepromTest, WritesAreVerifiedUnlessToldNot) {
    vboard::Board& board = AddBoard();
    for (const bool verify : {true, false}) {
        std::vector<std::string> args{"eeprom", "fill", "0x5a", "--length", "16"};
        if (!verify) args.push_back("--no-verify");
        const std::size_t readsBefore = RequestEntries(board, "PIPE02", LogOp::Read).size();
        const RunResult r = Run(args);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.out.find("verified") != std::string::npos, verify) << r.out;
        // One read of the range before the write (the report of a failure needs it), one after
        // for the verification.
        EXPECT_EQ(RequestEntries(board, "PIPE02", LogOp::Read).size() - readsBefore, verify ? 2u : 1u);
    }
}

// Small things said right: a refused file to verify compares nothing (it writes nothing either
// way); the command named in an error skips every option's value; raw bytes go to a terminal only
// when asked for with -o -.
TEST_F(EepromTest, SmallThingsAreSaidRight) {
    PatternBoard();
    WriteFile("bad.txt", "zz\n");
    const RunResult refused = Run({"--format", "text", "eeprom", "verify", File("bad.txt")});
    EXPECT_EQ(refused.exit, 2);
    EXPECT_EQ(refused.err.rfind("boardctl eeprom verify: ", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find("nothing compared"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("nothing written"), std::string::npos) << refused.err;

    StopSignal stop;
    const RunResult toTerminal = Run({"eeprom", "read", "--format", "bin"}, stop, true);
    EXPECT_EQ(toTerminal.exit, 2);
    EXPECT_NE(toTerminal.err.find("raw bytes to a terminal"), std::string::npos) << toTerminal.err;
    const RunResult asked = Run({"eeprom", "read", "--format", "bin", "-o", "-"}, stop, true);
    EXPECT_EQ(asked.exit, 0) << asked.err;
    EXPECT_EQ(asked.out.size(), 256u);
    EXPECT_EQ(Run({"eeprom", "read", "--format", "bin"}, stop, false).out.size(), 256u)
        << "to a pipe: as asked";
}

}  // namespace
