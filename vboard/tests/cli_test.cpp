// The command line and the control commands, against boards in this process.
#include "cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "panel_launch.h"
#include "test_support.h"
#include "vbus/bus_dir.h"

namespace vboard::test {
namespace {

TEST(CommandLine, ParsesRunListAndCommands) {
    auto run =
        ParseCommandLine({"run", "--slot", "3", "--type", "0x22", "--eeprom", "/x/e.bin", "--device-path",
                          "\\\\?\\p", "--report-ms", "250", "--unplugged", "--clock", "07:08:09"});
    ASSERT_EQ(run.kind, CliRequest::Kind::Run) << run.error;
    EXPECT_EQ(run.run.slot, 3);
    EXPECT_EQ(run.run.type, 0x22);
    EXPECT_EQ(run.run.eepromFile, "/x/e.bin");
    EXPECT_EQ(run.run.devicePath, "\\\\?\\p");
    EXPECT_EQ(run.run.reportIntervalMs, 250);
    EXPECT_FALSE(run.run.plugged);
    EXPECT_EQ(run.run.clock, (ClockTime{7, 8, 9}));
    EXPECT_FALSE(run.run.syncWrites);
    EXPECT_TRUE(ParseCommandLine({"run", "--sync"}).run.syncWrites);

    auto cmd = ParseCommandLine({"--slot", "2", "fault", "PIPE02", "delay", "200"});
    ASSERT_EQ(cmd.kind, CliRequest::Kind::Command);
    EXPECT_EQ(cmd.slot, 2);
    EXPECT_EQ(cmd.command, "fault PIPE02 delay 200");

    auto replay = ParseCommandLine({"--slot", "1", "replay", "s.trace", "--loop", "--speed", "2.5",
                                    "--lenient", "timing", "--lenient", "clock"});
    ASSERT_EQ(replay.kind, CliRequest::Kind::Replay) << replay.error;
    EXPECT_EQ(replay.run.slot, 1);
    EXPECT_EQ(replay.traceFile, "s.trace");
    EXPECT_TRUE(replay.loop);
    EXPECT_EQ(replay.replay.speed, 2.5);
    EXPECT_EQ(replay.replay.lenient, (std::set<std::string>{"clock", "timing"}));
    EXPECT_EQ(ParseCommandLine({"run", "--record", "r.trace"}).run.recordFile, "r.trace");

    EXPECT_EQ(ParseCommandLine({"list"}).kind, CliRequest::Kind::List);
    EXPECT_EQ(ParseCommandLine({"--help"}).kind, CliRequest::Kind::Help);
    for (const auto& bad : std::vector<std::vector<std::string>>{{},
                                                                 {"--slot"},
                                                                 {"--slot", "x", "status"},
                                                                 {"--verbose", "status"},
                                                                 {"run", "--type", "0x100"},
                                                                 {"run", "--clock", "25:00:00"},
                                                                 {"run", "--bogus"},
                                                                 {"list", "extra"},
                                                                 {"replay"},
                                                                 {"replay", "s.trace", "--speed", "0"},
                                                                 {"replay", "s.trace", "--lenient", "colour"},
                                                                 {"run", "--record", ""}})
        EXPECT_EQ(ParseCommandLine(bad).kind, CliRequest::Kind::Error) << (bad.empty() ? "" : bad[0]);
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        board_ = std::make_unique<Board>(TestOptions(dir_));
        ASSERT_TRUE(board_->Start());
    }
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        CliContext context{dir_.File("bus"), out_, err_, nullptr};
        return RunCommandLine(args, context);
    }

    TempDir dir_;
    std::unique_ptr<Board> board_;
    std::ostringstream out_, err_;
};

TEST(CommandLine, PanelOptionIsTakenFromRunOnly) {
    std::vector<std::string> a{"run", "--panel", "--type", "0x22"};
    EXPECT_TRUE(TakePanelOption(a));
    EXPECT_EQ(a, (std::vector<std::string>{"run", "--type", "0x22"}));
    std::vector<std::string> b{"--slot", "2", "run", "--clock", "10:00:00", "--panel"};
    EXPECT_TRUE(TakePanelOption(b));
    EXPECT_EQ(b, (std::vector<std::string>{"--slot", "2", "run", "--clock", "10:00:00"}));
    std::vector<std::string> c{"run"};
    EXPECT_FALSE(TakePanelOption(c));
    std::vector<std::string> d{"key", "3", "--panel"};  // not a run: left for the parser to refuse
    EXPECT_FALSE(TakePanelOption(d));
    EXPECT_EQ(d.size(), std::size_t{3});
    std::vector<std::string> e{"--panel", "run"};  // before the command word it is no run option
    EXPECT_FALSE(TakePanelOption(e));
}

TEST_F(CliTest, CommandsSteerTheBoard) {
    EXPECT_EQ(Run({"key", "4", "down"}), 0);  // numbered 1 to 8, as Tesmor's lamps
    EXPECT_EQ(board_->HeldKeys(), 1u << 3);
    EXPECT_EQ(Run({"--slot", "0", "key", "4", "up"}), 0);
    EXPECT_EQ(board_->HeldKeys(), 0u);
    EXPECT_EQ(Run({"clock", "12:34:56"}), 0);
    EXPECT_EQ(board_->Clock(), (ClockTime{12, 34, 56}));
    EXPECT_EQ(Run({"type", "0x5a"}), 0);
    EXPECT_EQ(board_->Type(), 0x5a);
    EXPECT_EQ(Run({"type"}), 0);
    EXPECT_EQ(out_.str(), "0x5a\n");

    EXPECT_EQ(Run({"fault", "PIPE02", "delay", "200"}), 0);
    EXPECT_EQ(Run({"fault", "transfer", "refuse"}), 0);
    EXPECT_EQ(Run({"fault", "type", "nobyte"}), 0);
    EXPECT_EQ(Run({"fault", "PIPE01", "openfail"}), 0);
    EXPECT_EQ(Run({"fault", "cancel", "delay", "150"}), 0);
    FaultSet f = board_->Faults();
    EXPECT_EQ(f.requests[static_cast<int>(Target::Pipe02)], (Fault{FaultMode::Delay, 200}));
    EXPECT_EQ(f.requests[static_cast<int>(Target::Transfer)], (Fault{FaultMode::Fail, 31}));
    EXPECT_EQ(f.requests[static_cast<int>(Target::Type)], (Fault{FaultMode::NoByte}));
    EXPECT_EQ(f.pipeOpenError[1], 2u);
    EXPECT_EQ(f.cancelDelayMs, 150u);
    EXPECT_EQ(Run({"faults"}), 0);
    EXPECT_NE(out_.str().find("PIPE02 delay 200"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"faults", "clear"}), 0);
    EXPECT_EQ(board_->Faults(), FaultSet{});

    EXPECT_EQ(Run({"unplug"}), 0);
    EXPECT_FALSE(board_->Plugged());
    EXPECT_EQ(Run({"status"}), 0);
    EXPECT_NE(out_.str().find("state: unplugged"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"plug"}), 0);
    EXPECT_TRUE(board_->Plugged());
}

TEST_F(CliTest, EepromDumpSetAndLoad) {
    EXPECT_EQ(Run({"eeprom", "set", "0x10", "aa", "bbcc"}), 0);
    EXPECT_EQ(board_->EepromContents()[0x12], 0xcc);
    EXPECT_EQ(Run({"eeprom", "dump"}), 0);
    EXPECT_NE(out_.str().find("10: aa bb cc ff"), std::string::npos) << out_.str();

    // A dump loads back as it is; a raw 256-byte file too.
    const std::string dump = out_.str();
    Eeprom image{};
    for (int i = 0; i < kEepromSize; ++i) image[i] = static_cast<std::uint8_t>(i);
    const std::string raw = dir_.File("image.bin");
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    EXPECT_EQ(Run({"eeprom", "load", raw}), 0) << err_.str();
    EXPECT_EQ(board_->EepromContents(), image);
    const std::string text = dir_.File("dump.txt");
    std::ofstream(text) << dump;
    EXPECT_EQ(Run({"eeprom", "load", text}), 0) << err_.str();
    EXPECT_EQ(board_->EepromContents()[0x11], 0xbb);
    EXPECT_EQ(board_->EepromContents()[0], 0xff);
}

TEST_F(CliTest, DisplayLogAndList) {
    auto pipe = OpenHandle(*board_, "PIPE01");
    pipe->Call(WriteRequest(1, {0xd, 0xe, 0xa, 0xd, 0xb, 0xe, 0xe, 0xf}));
    EXPECT_EQ(Run({"display"}), 0);
    EXPECT_EQ(out_.str(), "DEADBEEF\n");
    EXPECT_EQ(Run({"log", "2"}), 0);
    EXPECT_NE(out_.str().find("PIPE01 write id=1 asked=8 moved=8 error=0 completed"), std::string::npos)
        << out_.str();
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_NE(out_.str().find("slot 0  plugged"), std::string::npos) << out_.str();
}

TEST_F(CliTest, MistakesGiveTheirOwnExitCodes) {
    // Usage errors: 2, found without asking a board, whether one runs or not.
    const std::vector<std::vector<std::string>> usage{{"key", "0", "down"},
                                                      {"key", "9", "down"},
                                                      {"fault", "PIPE02", "sometimes"},
                                                      {"fault", "PIPE02", "delay"},
                                                      {"fault", "PIPE02", "nobyte"},
                                                      {"frobnicate"},
                                                      {"eeprom", "load", "01", "02"},
                                                      {"eeprom", "set", "255", "01", "02"},
                                                      {"eeprom", "set", "0", "zz"},
                                                      {"--nope"}};
    const std::size_t logged = board_->TrafficLog(1000).size();
    for (const auto& args : usage) {
        EXPECT_EQ(Run(args), 2) << args[0];
        EXPECT_NE(err_.str().find("vboard: "), std::string::npos) << args[0];
    }
    EXPECT_EQ(board_->TrafficLog(1000).size(), logged) << "a usage error reached the board";
    EXPECT_EQ(board_->EepromContents()[0], 0xff);

    // The board refuses what it cannot do: 1.
    const std::string eeprom = board_->EepromFile();
    std::filesystem::remove(eeprom);
    std::filesystem::create_directory(eeprom);  // the next write cannot replace it
    EXPECT_EQ(Run({"eeprom", "set", "0", "01"}), 1);
    EXPECT_NE(err_.str().find(eeprom), std::string::npos) << err_.str();

    EXPECT_EQ(Run({"--slot", "7", "status"}), 3);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("VBOARD_BUS"), std::string::npos);
    EXPECT_NE(out_.str().find("2 usage error"), std::string::npos);
    board_.reset();
    EXPECT_EQ(Run({"status"}), 3);
    for (const auto& args : usage) EXPECT_EQ(Run(args), 2) << args[0];
}

TEST_F(CliTest, ABoardThatTakesTheConnectionButDoesNotAnswerIsNotNoBoard) {
    // What a board out of connection slots looks like from outside: it accepts and hangs up.
    const std::string bus = dir_.File("bus");
    std::string why;
    auto full = vbus::ListenUnix(vbus::SocketPath(bus, 5), why);
    ASSERT_TRUE(full) << why;
    std::thread hangUp([&] {
        while (auto stream = full->Accept()) stream->Shutdown();
    });
    EXPECT_EQ(Run({"--slot", "5", "status"}), 4);
    EXPECT_NE(err_.str().find("slot 5"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("connection slots"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_NE(out_.str().find("slot 0  plugged"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("slot 5  not answering"), std::string::npos) << out_.str();

    // Without --slot the lowest board is meant: when it does not answer, no other one is steered.
    board_.reset();
    EXPECT_EQ(Run({"status"}), 4);
    full->Close();
    hangUp.join();
}

TEST_F(CliTest, AnUnsafeBusDirectoryIsNamedWithItsFix) {
    const std::string bus = dir_.File("bus");
    ASSERT_EQ(::chmod(bus.c_str(), 0777), 0);
    EXPECT_EQ(Run({"status"}), 1);
    EXPECT_NE(err_.str().find("chmod 700 " + bus), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"list"}), 1);
    EXPECT_EQ(Run({"frobnicate"}), 2);

    // A board does not start there either.
    std::ostringstream out, err;
    CliContext context{bus, out, err, [](Board&) { ADD_FAILURE() << "the board started"; }};
    EXPECT_EQ(RunCommandLine({"run", "--slot", "3", "--eeprom", dir_.File("e3")}, context), 1);
    EXPECT_NE(err.str().find("open to other users"), std::string::npos) << err.str();
    ASSERT_EQ(::chmod(bus.c_str(), 0700), 0);
    EXPECT_EQ(Run({"status"}), 0) << err_.str();
}

TEST(CommandLineRun, RunServesUntilToldToStop) {
    TempDir dir;
    std::ostringstream out, err;
    bool steered = false;
    CliContext context{dir.File("bus"), out, err, [&](Board& board) {
                           steered = board.Execute("key 2 down").ok && board.HeldKeys() == 2 &&
                                     !board.Execute("key 0 down").ok && !board.Execute("key 9 up").ok &&
                                     board.Type() == 0x22 && !board.Plugged();
                           auto probe = Client::Connect(board);
                           probe->Hello(vbus::Purpose::Probe);
                       }};
    EXPECT_EQ(RunCommandLine({"run", "--type", "0x22", "--unplugged", "--trace", "--eeprom", dir.File("e")},
                             context),
              0)
        << err.str();
    EXPECT_TRUE(steered);
    EXPECT_NE(out.str().find("board on slot 0"), std::string::npos);
    EXPECT_NE(out.str().find("device probe error=0"), std::string::npos) << out.str();  // the trace

    // A refused start says why.
    std::ofstream(dir.File("bad")) << "x";
    EXPECT_EQ(RunCommandLine({"run", "--eeprom", dir.File("bad")}, context), 1);
    EXPECT_NE(err.str().find("refusing"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace vboard::test
