// The command line: what each command takes, and what is refused before any board is looked for.
#include "command_line.h"

#include <gtest/gtest.h>

#include "board_fixture.h"

namespace {

std::optional<Request> Parse(const std::vector<std::string>& args, std::string& error) {
    return ParseCommandLine(args, error);
}

TEST(CommandLine, OptionsGoAnywhereAndNumbersAreDecimalOrHex) {
    std::string error;
    const auto r = Parse(
        {"--json", "eeprom", "read", "--start", "0x10", "--length", "32", "-o", "x.bin", "--board", "1"},
        error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->verb, Verb::EepromRead);
    EXPECT_TRUE(r->json);
    EXPECT_EQ(r->start, 16);
    EXPECT_EQ(r->length, 32);
    EXPECT_EQ(r->outputFile, "x.bin");
    EXPECT_EQ(r->board, 1);
}

TEST(CommandLine, RefusesWhatACommandDoesNotTake) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"eeprom", "read", "--start", "250", "--length", "7"}, "run past address 255"},
        {{"eeprom", "read", "--start", "256"}, "not an address 0..255: 256"},
        {{"eeprom", "read", "--length", "0"}, "not a length 1..256: 0"},
        {{"eeprom", "read", "--start", "-1"}, "not an address"},
        {{"eeprom", "read", "--verify"}, "does not take"},
        {{"eeprom", "write"}, "needs a FILE or --data"},
        {{"eeprom", "write", "f.bin", "--data", "01"}, "not both"},
        {{"eeprom", "write", "--data", "01", "--format", "bin"}, "does not apply"},
        {{"eeprom", "erase"}, "unknown eeprom command"},
        {{"eeprom"}, "needs a command"},
        {{"keys", "--format", "hex"}, "does not take"},
        {{"display"}, "needs a VALUE"},
        {{"display", "1", "2"}, "one too many"},
        {{"reboot"}, "unknown command"},
        {{"list", "--frobnicate"}, "unknown option --frobnicate"},
        {{"eeprom", "read", "--format", "srec"}, "unknown format"},
        {{"list", "--board"}, "--board needs a value"},
    };
    for (const auto& [args, why] : refused) {
        std::string error;
        EXPECT_FALSE(Parse(args, error)) << args[0];
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

TEST(CommandLine, HelpForEveryCommand) {
    std::string error;
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"},
                                                                  {},
                                                                  {"help"},
                                                                  {"keys", "--help"},
                                                                  {"help", "eeprom"},
                                                                  {"eeprom", "--help"},
                                                                  {"eeprom", "write", "--help"},
                                                                  {"display", "-h"}}) {
        const auto r = Parse(args, error);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(r->verb, Verb::Help);
    }
    Request about;
    about.helpFor = Verb::EepromWrite;
    EXPECT_NE(HelpText(about).find("--no-verify"), std::string::npos);
    about.helpFor = Verb::Help;
    EXPECT_NE(HelpText(about).find("Exit status"), std::string::npos);
}

// Usage errors and bad values end with exit 2 and one line on standard error, before any board
// is looked for: there is none here.
class UsageTest : public BoardctlTest {};

TEST_F(UsageTest, UsageErrorsAreOneLineAndExitTwo) {
    const RunResult r = Run({"eeprom", "read", "--length", "300"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "boardctl eeprom read: not a length 1..256: 300 (try: boardctl --help)\n");

    const RunResult json = Run({"--json", "frob"});
    EXPECT_EQ(json.exit, 2);
    EXPECT_EQ(
        json.out,
        "{\"ok\":false,\"error\":\"unknown command \\\"frob\\\" (try: boardctl --help)\",\"exit\":2}\n");
}

}  // namespace
