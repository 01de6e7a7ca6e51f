#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>

namespace {

// Options and the commands that take them.
enum Allow : unsigned {
    kStart = 1u << 0,
    kLength = 1u << 1,
    kOutput = 1u << 2,
    kFormat = 1u << 3,
    kData = 1u << 4,
    kVerify = 1u << 5,
    kWatch = 1u << 6,
};

unsigned Allowed(Verb verb) {
    switch (verb) {
        case Verb::EepromRead:
            return kStart | kLength | kOutput | kFormat;
        case Verb::EepromWrite:
            return kStart | kFormat | kData | kVerify;
        case Verb::EepromVerify:
            return kStart | kFormat;
        case Verb::EepromFill:
            return kStart | kLength | kVerify;
        case Verb::Keys:
        case Verb::Clock:
            return kWatch;
        default:
            return 0;
    }
}

std::optional<Verb> VerbOf(const std::vector<std::string>& words, std::string& error) {
    if (words.empty()) return Verb::Help;
    const std::string& first = words[0];
    if (first == "list") return Verb::List;
    if (first == "keys") return Verb::Keys;
    if (first == "clock") return Verb::Clock;
    if (first == "display") return Verb::Display;
    if (first == "help") return Verb::Help;
    if (first == "eeprom") {
        if (words.size() < 2) {
            error = "eeprom needs a command: read, write, verify or fill";
            return std::nullopt;
        }
        if (words[1] == "read") return Verb::EepromRead;
        if (words[1] == "write") return Verb::EepromWrite;
        if (words[1] == "verify") return Verb::EepromVerify;
        if (words[1] == "fill") return Verb::EepromFill;
        error = "unknown eeprom command \"" + words[1] + "\" (read, write, verify, fill)";
        return std::nullopt;
    }
    error = "unknown command \"" + first + "\"";
    return std::nullopt;
}

// The words after the command's own, which are its arguments.
std::size_t CommandWords(Verb verb) {
    switch (verb) {
        case Verb::EepromRead:
        case Verb::EepromWrite:
        case Verb::EepromVerify:
        case Verb::EepromFill:
            return 2;
        default:
            return 1;
    }
}

}  // namespace

std::optional<int> ParseNumber(const std::string& text, int lo, int hi) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(hex ? text.c_str() + 2 : text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value < lo || value > hi) return std::nullopt;
    return static_cast<int>(value);
}

bool OptionTakesValue(const std::string& option) {
    for (const char* o : {"--board", "--start", "--length", "-o", "--output", "--format", "--data"})
        if (option == o) return true;
    return false;
}

namespace {

// The words and options of a command line, as CLI11 takes them apart: the command words with
// their operands, every option's value, and what no command knows.
struct Tokens {
    std::vector<std::string> words;
    std::string board, start, length, output, format, data;
    // Which options were given (taken from the parser before it goes).
    bool boardGiven = false, startGiven = false, lengthGiven = false, outputGiven = false, formatGiven = false,
         dataGiven = false, verifyGiven = false, watchGiven = false;
};

// Throws CLI::ParseError.
void Split(const std::vector<std::string>& args, Request& request, bool& help, Tokens& t) {
    CLI::App app("", "boardctl");
    app.set_help_flag();  // the help texts are boardctl's own (usage.cpp)
    app.allow_extras();   // unknown words and options are named in boardctl's words below
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.require_subcommand(0, 1);

    app.add_flag("-h,--help", help);
    app.add_flag("--json", request.json);
    CLI::Option* board = app.add_option("--board", t.board);
    CLI::Option* start = app.add_option("--start", t.start);
    CLI::Option* length = app.add_option("--length", t.length);
    CLI::Option* output = app.add_option("-o,--output", t.output);
    CLI::Option* format = app.add_option("--format", t.format);
    CLI::Option* data = app.add_option("--data", t.data);
    CLI::Option* verify = app.add_flag("--verify,!--no-verify", request.verify);
    CLI::Option* watch = app.add_flag("--watch", request.watch);

    // Every command takes the options above wherever they stand (fallthrough) and any number
    // of operands, counted against what it needs once the command is known.
    std::vector<std::string> operands;
    auto command = [&operands](CLI::App& parent, const char* name, bool leaf) {
        CLI::App* c = parent.add_subcommand(name);
        c->set_help_flag();
        c->fallthrough();
        c->allow_extras();
        if (leaf) c->add_option("operands", operands);
        return c;
    };
    for (const char* name : {"list", "keys", "clock", "display", "help"}) command(app, name, true);
    CLI::App* eeprom = command(app, "eeprom", false);
    eeprom->require_subcommand(0, 1);
    for (const char* name : {"read", "write", "verify", "fill"}) command(*eeprom, name, true);

    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them from the back
    app.parse(reversed);
    t.boardGiven = board->count() > 0;
    t.startGiven = start->count() > 0;
    t.lengthGiven = length->count() > 0;
    t.outputGiven = output->count() > 0;
    t.formatGiven = format->count() > 0;
    t.dataGiven = data->count() > 0;
    t.verifyGiven = verify->count() > 0;
    t.watchGiven = watch->count() > 0;

    for (const CLI::App* c = &app; !c->get_subcommands().empty();) {
        c = c->get_subcommands().front();
        t.words.push_back(c->get_name());
    }
    // Words no command took stand where an unknown command or eeprom command would.
    for (const std::string& extra : app.remaining())
        if (extra.size() > 1 && extra[0] == '-')
            throw CLI::ExtrasError("unknown option " + extra, CLI::ExitCodes::ExtrasError);
    for (const std::string& extra : app.remaining()) t.words.push_back(extra);
    t.words.insert(t.words.end(), operands.begin(), operands.end());
}

}  // namespace

std::optional<Request> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    Request request;
    bool help = false;
    Tokens t;
    // An option that takes a value takes the next word, whatever it is; only the last has none.
    if (!args.empty() && OptionTakesValue(args.back())) {
        error = args.back() + " needs a value";
        return std::nullopt;
    }
    try {
        Split(args, request, help, t);
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    std::vector<std::string>& words = t.words;
    unsigned given = 0;
    if (t.boardGiven) {
        request.board = ParseNumber(t.board, 0, 1023);
        if (!request.board) {
            error = "not a board number: " + t.board;
            return std::nullopt;
        }
    }
    if (t.startGiven) {
        request.start = ParseNumber(t.start, 0, kEepromBytes - 1);
        if (!request.start) {
            error = "not an address 0..255: " + t.start;
            return std::nullopt;
        }
        given |= kStart;
    }
    if (t.lengthGiven) {
        request.length = ParseNumber(t.length, 1, kEepromBytes);
        if (!request.length) {
            error = "not a length 1..256: " + t.length;
            return std::nullopt;
        }
        given |= kLength;
    }
    if (t.outputGiven) {
        request.outputFile = t.output;
        if (request.outputFile.empty()) {
            error = "-o needs a file name";
            return std::nullopt;
        }
        given |= kOutput;
    }
    if (t.formatGiven) {
        request.format = ParseFormatName(t.format);
        if (!request.format) {
            error = "unknown format \"" + t.format + "\" (dump, text, bin, ihex or hex)";
            return std::nullopt;
        }
        given |= kFormat;
    }
    if (t.dataGiven) {
        request.data = t.data;
        given |= kData;
    }
    if (t.verifyGiven) given |= kVerify;
    if (t.watchGiven) given |= kWatch;

    const auto verb = VerbOf(words, error);
    if (!verb) {
        // "boardctl eeprom --help" asks for the eeprom commands' help.
        if (help && words.size() == 1 && words[0] == "eeprom") {
            error.clear();
            request.verb = Verb::Help;
            request.helpForEeprom = true;
            return request;
        }
        return std::nullopt;
    }
    if (*verb == Verb::Help) {
        request.verb = Verb::Help;
        if (words.size() > 1) {
            std::vector<std::string> topic(words.begin() + 1, words.end());
            if (topic.size() == 1 && topic[0] == "eeprom") {
                request.helpForEeprom = true;
                return request;
            }
            const auto about = VerbOf(topic, error);
            if (!about) return std::nullopt;
            request.helpFor = *about;
        }
        return request;
    }
    if (help) {
        request.helpFor = *verb;
        request.verb = Verb::Help;
        return request;
    }
    request.verb = *verb;

    const unsigned stray = given & ~Allowed(*verb);
    if (stray != 0) {
        error = "an option that " + words[0] + (CommandWords(*verb) == 2 ? " " + words[1] : std::string()) +
                " does not take (see its --help)";
        return std::nullopt;
    }
    std::vector<std::string> operands(words.begin() + static_cast<long>(CommandWords(*verb)), words.end());
    const std::string name = CommandWords(*verb) == 2 ? "eeprom " + words[1] : words[0];

    auto wantOperands = [&](std::size_t n, const char* what) {
        if (operands.size() == n) return true;
        error = operands.size() < n
                    ? name + " needs " + what
                    : name + " takes " + (n == 0 ? "no arguments" : std::string("only ") + what) + " (\"" +
                          operands[n] + "\" is one too many)";
        return false;
    };

    switch (*verb) {
        case Verb::List:
        case Verb::Keys:
        case Verb::Clock:
        case Verb::EepromRead:
            if (!wantOperands(0, "")) return std::nullopt;
            break;
        case Verb::Display:
            if (!wantOperands(1, "a VALUE")) return std::nullopt;
            request.value = operands[0];
            break;
        case Verb::EepromFill:
            if (!wantOperands(1, "a BYTE")) return std::nullopt;
            request.value = operands[0];
            break;
        case Verb::EepromVerify:
            if (!wantOperands(1, "a FILE")) return std::nullopt;
            request.inputFile = operands[0];
            break;
        case Verb::EepromWrite:
            if (request.data) {
                if (!wantOperands(0, "")) {
                    error = "eeprom write takes a FILE or --data, not both";
                    return std::nullopt;
                }
                if (request.format && *request.format != ImageFormat::Text) {
                    error = "--data is the tools' hex text; --format " +
                            std::string(FormatName(*request.format)) + " does not apply";
                    return std::nullopt;
                }
            } else {
                if (!wantOperands(1, "a FILE or --data \"01 02 03\"")) return std::nullopt;
                request.inputFile = operands[0];
            }
            break;
        case Verb::Help:
            break;
    }

    if (request.start && request.length && *request.start + *request.length > kEepromBytes) {
        error = "--start " + std::to_string(*request.start) + " and --length " +
                std::to_string(*request.length) + " run past address 255";
        return std::nullopt;
    }
    return request;
}
