#include "command_line.h"

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

std::optional<Request> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    Request request;
    std::vector<std::string> words;
    bool help = false;
    unsigned given = 0;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--json") {
            request.json = true;
        } else if (a == "--board") {
            if (!value(v)) return std::nullopt;
            request.board = ParseNumber(v, 0, 1023);
            if (!request.board) {
                error = "not a board number: " + v;
                return std::nullopt;
            }
        } else if (a == "--start") {
            if (!value(v)) return std::nullopt;
            request.start = ParseNumber(v, 0, kEepromBytes - 1);
            if (!request.start) {
                error = "not an address 0..255: " + v;
                return std::nullopt;
            }
            given |= kStart;
        } else if (a == "--length") {
            if (!value(v)) return std::nullopt;
            request.length = ParseNumber(v, 1, kEepromBytes);
            if (!request.length) {
                error = "not a length 1..256: " + v;
                return std::nullopt;
            }
            given |= kLength;
        } else if (a == "-o" || a == "--output") {
            if (!value(request.outputFile)) return std::nullopt;
            if (request.outputFile.empty()) {
                error = a + " needs a file name";
                return std::nullopt;
            }
            given |= kOutput;
        } else if (a == "--format") {
            if (!value(v)) return std::nullopt;
            request.format = ParseFormatName(v);
            if (!request.format) {
                error = "unknown format \"" + v + "\" (dump, text, bin, ihex or hex)";
                return std::nullopt;
            }
            given |= kFormat;
        } else if (a == "--data") {
            request.data.emplace();
            if (!value(*request.data)) return std::nullopt;
            given |= kData;
        } else if (a == "--verify") {
            request.verify = true;
            given |= kVerify;
        } else if (a == "--no-verify") {
            request.verify = false;
            given |= kVerify;
        } else if (a == "--watch") {
            request.watch = true;
            given |= kWatch;
        } else if (a.size() > 1 && a[0] == '-' && !(a.size() > 1 && a[1] >= '0' && a[1] <= '9')) {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            words.push_back(a);
            continue;
        }
    }

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
