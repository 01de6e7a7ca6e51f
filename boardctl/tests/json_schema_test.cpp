// Every command's --json object against the manual page's JSON OUTPUT section: each field the
// program writes is documented there for that command, with that type, and each field documented
// without a "when" is written.
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "board_fixture.h"
#include "exit_codes.h"
#include "json.h"

namespace {

struct Field {
    std::string type;
    bool always = true;  // false: "(type; when ...)"
};
using Schema = std::map<std::string, std::map<std::string, Field>>;  // heading -> field -> type

// The manual page's JSON OUTPUT section: `.SS "heading"`, then `.BR name " (type[; when ...])"`.
Schema ReadSchema() {
    std::ifstream page(BOARDCTL_MAN_PAGE);
    const std::regex heading(R"re(^\.SS "(.+)"$)re"), field(R"re(^\.BR (\w+) " \(([^;)]+)(;[^)]*)?\)"$)re");
    Schema schema;
    std::string line, current;
    bool inSection = false;
    std::smatch m;
    while (std::getline(page, line)) {
        if (line.rfind(".SH ", 0) == 0) inSection = line == ".SH JSON OUTPUT";
        if (!inSection) continue;
        if (std::regex_match(line, m, heading)) current = m[1];
        if (std::regex_match(line, m, field)) schema[current][m[1]] = Field{m[2], !m[3].matched};
    }
    return schema;
}

bool HasType(const Json& value, const std::string& type) {
    auto every = [&](auto check) {
        return value.is_array() && std::all_of(value.begin(), value.end(), check);
    };
    if (type == "boolean") return value.is_boolean();
    if (type == "integer") return value.is_number_integer();
    if (type == "string") return value.is_string();
    if (type == "integer or null") return value.is_null() || value.is_number_integer();
    if (type == "list of integers") return every([](const Json& v) { return v.is_number_integer(); });
    if (type == "list of objects") return every([](const Json& v) { return v.is_object(); });
    if (type == "list of ranges")
        return every([](const Json& v) {
            return v.is_object() && v.size() == 2 && v.value("start", Json()).is_number_integer() &&
                   v.value("length", Json()).is_number_integer();
        });
    ADD_FAILURE() << "the manual names a type the test does not know: " << type;
    return false;
}

// Every way `object` departs from the heading's fields (and, for lists of objects, from theirs).
void Check(const Schema& schema, const std::string& heading, const Json& object,
           std::vector<std::string>& found) {
    const auto documented = schema.find(heading);
    if (documented == schema.end()) {
        found.push_back("no heading \"" + heading + "\"");
        return;
    }
    for (const auto& [name, value] : object.items()) {
        const auto f = documented->second.find(name);
        if (f == documented->second.end())
            found.push_back(heading + ": " + name + " is not documented");
        else if (!HasType(value, f->second.type))
            found.push_back(heading + ": " + name + " is not " + f->second.type + ": " + value.dump());
        else if (f->second.type == "list of objects")
            for (const Json& item : value) Check(schema, heading + ": " + name, item, found);
    }
    for (const auto& [name, f] : documented->second)
        if (f.always && !object.contains(name)) found.push_back(heading + ": " + name + " is missing");
}

class JsonSchemaTest : public BoardctlTest {
  protected:
    // The command's output, line by line, against `heading` (or "failure" when it failed).
    void Expect(const std::string& heading, const std::vector<std::string>& args, int exit = 0) {
        std::vector<std::string> withJson = args;
        withJson.push_back("--json");
        const RunResult r = Run(withJson);
        SCOPED_TRACE(r.out + r.err);
        EXPECT_EQ(r.exit, exit);
        std::istringstream lines(r.out);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            ++count;
            const Json object = Json::parse(line, nullptr, false);
            ASSERT_TRUE(object.is_object()) << line;
            std::vector<std::string> found;
            Check(schema_, exit == 0 ? heading : "failure", object, found);
            for (const std::string& f : found) ADD_FAILURE() << f << "\n  in " << line;
            covered_.insert(exit == 0 ? heading : "failure");
        }
        EXPECT_EQ(count, 1);
    }

    Schema schema_ = ReadSchema();
    std::set<std::string> covered_;
};

TEST_F(JsonSchemaTest, EveryCommandWritesWhatTheManualSays) {
    ASSERT_FALSE(schema_.empty()) << BOARDCTL_MAN_PAGE;
    vboard::Board& board = AddBoard();
    board.SetKey(2, true);
    WriteFile("image.bin", std::string(16, 'x'));

    Expect("list", {"list"});
    Expect("eeprom read", {"eeprom", "read", "--length", "4"});
    Expect("eeprom read", {"eeprom", "read", "-o", File("out.txt")});
    Expect("eeprom write and eeprom fill", {"eeprom", "write", File("image.bin")});
    Expect("eeprom write and eeprom fill", {"eeprom", "fill", "0x55", "--start", "250", "--no-verify"});
    Expect("eeprom verify", {"eeprom", "verify", File("image.bin")});
    Expect("keys", {"keys"});
    Expect("clock", {"clock"});
    Expect("display", {"display", "1a2b"});

    // Failures: a usage error, a verification that differs, a write that stops half way.
    Expect("failure", {"eeprom", "read", "--length", "0"}, kExitUsage);
    Expect("failure", {"eeprom", "verify", File("image.bin"), "--start", "1"}, kExitMismatch);
    board.SetFault(vboard::Target::Pipe03, {vboard::FaultMode::Short, 8});
    Expect("failure", {"eeprom", "fill", "0x11", "--length", "32"}, kExitBoardFailure);

    // Every heading was met, and a lost one shows.
    for (const auto& [heading, fields] : schema_) {
        const bool nested = heading.find(": ") != std::string::npos;
        EXPECT_TRUE(nested || covered_.count(heading)) << heading;
    }
    std::vector<std::string> found;
    Check(schema_, "display", Json{{"ok", true}, {"display", 7}, {"extra", 1}}, found);
    EXPECT_EQ(found.size(), 2u);
}

}  // namespace
