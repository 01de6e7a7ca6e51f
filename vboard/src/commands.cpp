#include "commands.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "hex.h"

namespace vboard {
namespace {

constexpr std::uint32_t kMaxMs = 24u * 60 * 60 * 1000;

CommandResult Ok(std::string text = "ok") { return {true, std::move(text)}; }
CommandResult Bad(std::string text) { return {false, std::move(text)}; }

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

std::string RestAfter(const std::string& text, std::size_t words) {
    std::istringstream in(text);
    std::string w;
    for (std::size_t i = 0; i < words && in >> w; ++i) {
    }
    std::string rest;
    std::getline(in, rest, '\0');
    return rest;
}

std::string FaultList(const FaultSet& f) {
    std::string out;
    for (int i = 0; i < kTargetCount; ++i)
        out += std::string(TargetName(static_cast<Target>(i))) + " " + FormatFault(f.requests[i]) + "\n";
    for (int i = 0; i < kPipeCount; ++i)
        if (f.pipeOpenError[i])
            out += std::string(TargetName(static_cast<Target>(i))) + " openfail " +
                   std::to_string(f.pipeOpenError[i]) + "\n";
    if (f.deviceOpenError) out += "device openfail " + std::to_string(f.deviceOpenError) + "\n";
    out += f.cancelDelayMs == kCancelIgnored ? "cancel ignore\n"
                                             : "cancel delay " + std::to_string(f.cancelDelayMs) + "\n";
    out += f.keepPendingOnUnplug ? "unplug keep\n" : "unplug fail\n";
    return out;
}

// Keys as users number them, 1 to 8 like Tesmor's lamps and the panel's keys.
std::string KeysText(std::uint8_t held) {
    std::string out;
    for (int i = 0; i < kKeyCount; ++i)
        if (held & (1u << i)) out += (out.empty() ? "" : ",") + std::to_string(i + 1);
    return out.empty() ? "none" : out;
}

// A key's number as users give it (1 to 8) to the board's index (0 to 7).
std::optional<int> KeyNumber(const std::string& word) {
    const auto number = ParseNumber(word, kKeyCount);
    if (!number || *number < 1) return std::nullopt;
    return static_cast<int>(*number) - 1;
}

std::string ToUpper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

using Action = std::function<CommandResult(Board&)>;

ParsedCommand Act(Action action) { return {std::move(action), {}}; }
ParsedCommand Usage(std::string text) { return {nullptr, std::move(text)}; }

ParsedCommand FaultCommand(const std::vector<std::string>& w) {
    if (w.size() < 3) return Usage("usage: fault TARGET MODE [ARG]");
    const std::string& targetName = w[1];
    const std::string& mode = w[2];
    const std::string arg = w.size() > 3 ? w[3] : "";
    if (w.size() > 4) return Usage("too many words");

    if (targetName == "cancel") {
        if (mode == "ignore" && arg.empty())
            return Act([](Board& board) {
                board.SetCancelDelay(kCancelIgnored);
                return Ok();
            });
        if (mode != "delay" || arg.empty())
            return Usage("usage: fault cancel delay MS | fault cancel ignore");
        auto ms = ParseNumber(arg, kMaxMs);
        if (!ms) return Usage("not a time in ms: " + arg);
        return Act([ms = *ms](Board& board) {
            board.SetCancelDelay(ms);
            return Ok();
        });
    }

    if (targetName == "unplug") {
        if ((mode != "keep" && mode != "fail") || !arg.empty()) return Usage("usage: fault unplug keep|fail");
        return Act([keep = mode == "keep"](Board& board) {
            board.SetKeepPendingOnUnplug(keep);
            return Ok();
        });
    }

    std::optional<Target> target = ParseTarget(targetName);
    if (!target && targetName.rfind("pipe", 0) == 0) target = ParseTarget(ToUpper(targetName));
    const bool isDevice = targetName == "device";
    if (!target && !isDevice)
        return Usage("unknown target " + targetName +
                     " (PIPE00..PIPE03, reset, transfer, type, device, cancel, unplug)");

    if (mode == "openfail" || mode == "openok") {
        const int pipe = target ? static_cast<int>(*target) : -1;
        if (!isDevice && pipe >= kPipeCount) return Usage("openfail applies to PIPE00..PIPE03 and device");
        std::uint32_t error = 0;
        if (mode == "openfail") {
            auto e = arg.empty() ? std::optional<std::uint32_t>(2) : ParseNumber(arg, 0xFFFFFFFFu);
            if (!e || *e == 0) return Usage("not an error code: " + arg);
            error = *e;
        } else if (!arg.empty()) {
            return Usage("openok takes no argument");
        }
        return Act([isDevice, pipe, error](Board& board) {
            if (isDevice)
                board.SetDeviceOpenError(error);
            else
                board.SetPipeOpenError(pipe, error);
            return Ok();
        });
    }
    if (isDevice) return Usage("the device takes only openfail [ERR] and openok");

    Fault fault;
    auto needArg = [&](std::uint32_t max, bool optional,
                       std::uint32_t byDefault) -> std::optional<std::uint32_t> {
        if (arg.empty()) return optional ? std::optional<std::uint32_t>(byDefault) : std::nullopt;
        return ParseNumber(arg, max);
    };
    std::optional<std::uint32_t> value = 0;
    if (mode == "normal") {
        fault.mode = FaultMode::Normal;
    } else if (mode == "immediate") {
        fault.mode = FaultMode::Immediate;
    } else if (mode == "stall") {
        fault.mode = FaultMode::Stall;
    } else if (mode == "delay") {
        fault.mode = FaultMode::Delay;
        value = needArg(kMaxMs, false, 0);
    } else if (mode == "fail" || mode == "refuse") {
        fault.mode = FaultMode::Fail;
        value = needArg(0xFFFFFFFFu, true, 31);
        if (value && *value == 0) value.reset();
    } else if (mode == "short") {
        fault.mode = FaultMode::Short;
        value = needArg(65536, false, 0);
    } else if (mode == "tear") {
        if (*target != Target::Pipe03) return Usage("tear applies to PIPE03 only");
        fault.mode = FaultMode::Tear;
        value = needArg(65536, false, 0);
    } else if (mode == "nobyte") {
        if (*target != Target::Type) return Usage("nobyte applies to the type query only");
        fault.mode = FaultMode::NoByte;
    } else {
        return Usage("unknown mode " + mode +
                     " (normal, immediate, stall, delay MS, fail [ERR], short N, tear N, nobyte, openfail "
                     "[ERR], openok)");
    }
    if (!value) return Usage("bad or missing argument for " + mode);
    if ((fault.mode == FaultMode::Normal || fault.mode == FaultMode::Immediate ||
         fault.mode == FaultMode::Stall || fault.mode == FaultMode::NoByte) &&
        !arg.empty())
        return Usage(mode + " takes no argument");
    fault.value = *value;
    return Act([target = *target, fault](Board& board) {
        board.SetFault(target, fault);
        return Ok();
    });
}

ParsedCommand EepromCommand(const std::string& text, const std::vector<std::string>& w) {
    if (w.size() < 2) return Usage("usage: eeprom dump | eeprom load HEX... | eeprom set ADDR HEX...");
    if (w[1] == "dump") {
        if (w.size() != 2) return Usage("eeprom dump takes no argument");
        return Act([](Board& board) { return Ok(FormatEepromDump(board.EepromContents())); });
    }
    int offset = 0;
    std::optional<std::vector<std::uint8_t>> bytes;
    if (w[1] == "load") {
        bytes = ParseHexBytes(RestAfter(text, 2));
        if (!bytes) return Usage("not hexadecimal bytes");
        if (bytes->size() != static_cast<std::size_t>(kEepromSize))
            return Usage("eeprom load needs 256 bytes, got " + std::to_string(bytes->size()));
    } else if (w[1] == "set") {
        if (w.size() < 4) return Usage("usage: eeprom set ADDR HEX...");
        auto address = ParseNumber(w[2], kEepromSize - 1);
        if (!address) return Usage("not an address 0..255: " + w[2]);
        bytes = ParseHexBytes(RestAfter(text, 3));
        if (!bytes || bytes->empty()) return Usage("not hexadecimal bytes");
        if (*address + bytes->size() > static_cast<std::size_t>(kEepromSize))
            return Usage("the bytes run past the end of the EEPROM");
        offset = static_cast<int>(*address);
    } else {
        return Usage("unknown eeprom command " + w[1]);
    }
    return Act([offset, bytes = std::move(*bytes)](Board& board) {
        std::string why;
        if (!board.WriteEeprom(offset, bytes, &why)) return Bad(why);  // the file could not be written
        return Ok();
    });
}

std::string StatusText(const BoardStatus& s) {
    std::string out;
    out += "slot: " + std::to_string(s.slot) + "\n";
    out += "device path: " + s.devicePath + "\n";
    out += "state: " + std::string(s.plugged ? "plugged" : "unplugged") + "\n";
    out += "type: " + Hex2(s.type) + "\n";
    out += "keys held: " + KeysText(s.heldKeys) + "\n";
    out += "clock: " + FormatClockTime(s.clock) + (s.clockRunning ? "" : " (stopped)") + "\n";
    out += "display: " + FormatDigits(s.display) + "\n";
    out += "report interval: " + (s.reportIntervalMs ? std::to_string(s.reportIntervalMs) + " ms" : "off") +
           "\n";
    out += "eeprom file: " + s.eepromFile + "\n";
    out += "connections: " + std::to_string(s.connections) + "\n";
    out += "faults:\n" + FaultList(s.faults);
    return out;
}

}  // namespace

const char* CommandHelp() {
    return "  key N down|up          hold or release key N (1..8, numbered as Tesmor's lamps and the\n"
           "                         panel's keys; 0, the old first key, is refused)\n"
           "  press N [MS]           key N down, and up again after MS (100) ms\n"
           "  clock [HH:MM:SS]       show or set the clock\n"
           "  clock stop|run         stop or restart the clock's ticking\n"
           "  clock step N           move the clock N seconds on (with clock stop: a clock that\n"
           "                         moves only when told)\n"
           "  type [0xNN]            show or set the board-type byte\n"
           "  unplug | plug          pull the board from the bus, or put it back\n"
           "  report MS              also send a status report every MS ms (0: off)\n"
           "  report raw HEX|off     reports carry these 1 to 4 bytes as they are (key, seconds,\n"
           "                         minutes, hours: short reports, keys 8..0xfe, no BCD), or the\n"
           "                         board's own again\n"
           "  fault TARGET MODE [ARG]\n"
           "      TARGET: PIPE00..PIPE03, reset, transfer, type\n"
           "      MODE:   normal | immediate | stall | delay MS | fail [ERR] (31) | short N\n"
           "              | tear N (PIPE03: N bytes reach the EEPROM, then the write fails)\n"
           "              | nobyte (type only) | refuse (= fail 31)\n"
           "  fault PIPE0N|device openfail [ERR] (2) | openok\n"
           "  fault cancel delay MS  a cancelled request ends (995) MS ms after the cancel\n"
           "  fault cancel ignore    cancels change nothing: a request ends as if none had come\n"
           "  fault unplug keep|fail an unplug leaves pending requests pending (keep), or ends\n"
           "                         them with error 1167 (fail, as a driver does)\n"
           "  faults [clear]         list the faults, or clear them all\n"
           "  eeprom dump            the EEPROM as 16 lines of 16 bytes\n"
           "  eeprom load FILE|HEX   replace all 256 bytes (FILE: 256 raw bytes, or hex text)\n"
           "  eeprom set ADDR HEX... write bytes from ADDR\n"
           "  display                the 8 digits of the display\n"
           "  log [N]                the newest N (20) traffic log entries\n"
           "  status                 everything above at a glance\n";
}

ParsedCommand ParseCommand(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.empty()) return Usage("empty command");
    const std::string& verb = w[0];
    const std::size_t n = w.size();

    if (verb == "help") return Act([](Board&) { return Ok(CommandHelp()); });
    if (verb == "key") {
        auto key = n == 3 ? KeyNumber(w[1]) : std::nullopt;
        if (!key || (w[2] != "down" && w[2] != "up"))
            return Usage("usage: key N down|up (N 1..8, numbered as Tesmor's lamps)");
        return Act([key = *key, down = w[2] == "down"](Board& board) {
            board.SetKey(key, down);
            return Ok();
        });
    }
    if (verb == "press") {
        auto key = n >= 2 && n <= 3 ? KeyNumber(w[1]) : std::nullopt;
        auto ms = n == 3 ? ParseNumber(w[2], 60000) : std::optional<std::uint32_t>(100);
        if (!key || !ms) return Usage("usage: press N [MS] (N 1..8, numbered as Tesmor's lamps)");
        return Act([key = *key, ms = static_cast<int>(*ms)](Board& board) {
            board.PressKey(key, ms);
            return Ok();
        });
    }
    if (verb == "clock") {
        if (n == 1) return Act([](Board& board) { return Ok(FormatClockTime(board.Clock())); });
        if (n == 3 && w[1] == "step") {
            auto seconds = ParseNumber(w[2], 86400);
            if (!seconds || *seconds == 0) return Usage("usage: clock step N (1..86400 seconds)");
            return Act([seconds = static_cast<int>(*seconds)](Board& board) {
                const ClockTime t = board.Clock();
                const int at = (t.hours * 3600 + t.minutes * 60 + t.seconds + seconds) % 86400;
                board.SetClock(ClockTime{at / 3600, at / 60 % 60, at % 60});
                return Ok(FormatClockTime(board.Clock()));
            });
        }
        if (n == 2 && (w[1] == "stop" || w[1] == "run"))
            return Act([run = w[1] == "run"](Board& board) {
                board.SetClockRunning(run);
                return Ok();
            });
        auto t = n == 2 ? ParseClockTime(w[1]) : std::nullopt;
        if (!t) return Usage("usage: clock HH:MM:SS | clock stop|run");
        return Act([t = *t](Board& board) {
            board.SetClock(t);
            return Ok();
        });
    }
    if (verb == "type") {
        if (n == 1) return Act([](Board& board) { return Ok(Hex2(board.Type())); });
        auto v = n == 2 ? ParseNumber(w[1], 255) : std::nullopt;
        if (!v) return Usage("usage: type 0xNN (0..255)");
        return Act([v = static_cast<std::uint8_t>(*v)](Board& board) {
            board.SetType(v);
            return Ok();
        });
    }
    if ((verb == "unplug" || verb == "plug") && n == 1)
        return Act([plug = verb == "plug"](Board& board) {
            plug ? board.Plug() : board.Unplug();
            return Ok();
        });
    if (verb == "report" && n >= 2 && w[1] == "raw") {
        if (n == 3 && w[2] == "off")
            return Act([](Board& board) {
                board.SetRawReport(std::nullopt);
                return Ok();
            });
        auto bytes = ParseHexBytes(RestAfter(text, 2));
        if (!bytes || bytes->empty() || bytes->size() > 4)
            return Usage(
                "usage: report raw HEX (1 to 4 bytes: key, seconds, minutes, hours) | report raw off");
        return Act([bytes = *bytes](Board& board) {
            board.SetRawReport(bytes);
            return Ok();
        });
    }
    if (verb == "report") {
        auto ms = n == 2 ? ParseNumber(w[1], kMaxMs) : std::nullopt;
        if (!ms) return Usage("usage: report MS");
        return Act([ms = static_cast<int>(*ms)](Board& board) {
            board.SetReportInterval(ms);
            return Ok();
        });
    }
    if (verb == "fault") return FaultCommand(w);
    if (verb == "faults") {
        if (n == 1) return Act([](Board& board) { return Ok(FaultList(board.Faults())); });
        if (n == 2 && w[1] == "clear")
            return Act([](Board& board) {
                board.ClearFaults();
                return Ok();
            });
        return Usage("usage: faults [clear]");
    }
    if (verb == "eeprom") return EepromCommand(text, w);
    if (verb == "display" && n == 1)
        return Act([](Board& board) { return Ok(FormatDigits(board.Display())); });
    if (verb == "log") {
        auto count = n == 1   ? std::optional<std::uint32_t>(20)
                     : n == 2 ? ParseNumber(w[1], 1u << 20)
                              : std::nullopt;
        if (!count) return Usage("usage: log [N]");
        return Act([count = *count](Board& board) {
            std::string out;
            for (const auto& e : board.TrafficLog(count)) out += FormatLogEntry(e) + "\n";
            return Ok(out);
        });
    }
    if (verb == "status" && n == 1) return Act([](Board& board) { return Ok(StatusText(board.Status())); });
    return Usage("unknown command: " + text + " (try: help)");
}

CommandResult ExecuteCommand(Board& board, const std::string& text) {
    ParsedCommand command = ParseCommand(text);
    if (!command.apply) return Bad(command.usage);
    return command.apply(board);
}

}  // namespace vboard
