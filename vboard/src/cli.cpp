#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "commands.h"
#include "hex.h"
#include "vboard/control_client.h"
#include "vbus/bus_dir.h"

namespace vboard {
namespace {

// A replayed session has ended when no handle has been open for this long: a second once every
// recorded request has come (or one differed); ten while some are still to come, since a session
// of several commands may have gaps between them.
constexpr int kQuietMs = 1000;
constexpr int kQuietBeforeTheEndMs = 10000;

CliRequest Error(std::string text) {
    CliRequest r;
    r.kind = CliRequest::Kind::Error;
    r.error = std::move(text);
    return r;
}

// `eeprom load FILE` reads the file here, so that the board need not see the caller's files.
std::optional<std::string> ReadEepromImage(const std::string& path, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() == static_cast<std::size_t>(kEepromSize)) {  // raw; hex text of 256 bytes is longer
        std::string hex;
        char cell[4];
        for (unsigned char c : content) {
            std::snprintf(cell, sizeof cell, "%02x ", c);
            hex += cell;
        }
        return hex;
    }
    if (!ParseHexBytes(content)) {
        why = path + " holds neither 256 raw bytes nor hexadecimal text";
        return std::nullopt;
    }
    return content;
}

class TracePrinter : public BoardObserver {
  public:
    explicit TracePrinter(std::ostream& out) : out_(out) {}
    void OnTraffic(const LogEntry& entry) override { out_ << FormatLogEntry(entry) << std::endl; }

  private:
    std::ostream& out_;
};

std::string Indented(const std::string& text, const std::string& by) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string::npos ? text.size() : end + 1;
        out += by + text.substr(start, stop - start);
        start = stop;
    }
    return out;
}

// A bus directory that does not exist yet holds no board; one that exists must be safe to use.
bool BusUsable(const std::string& busDir, std::string& why) {
    std::error_code ec;
    return !std::filesystem::exists(busDir, ec) || vbus::CheckBusDirectory(busDir, &why);
}

// `vboard replay`: a board that plays the session until it ends (every handle closed for a
// while after the program that made the session has come and gone), then says how it went.
int RunReplay(const CliRequest& request, CliContext& context) {
    std::string why;
    const auto replay = Replay::Load(request.traceFile, request.replay, why);
    if (!replay) {
        context.err << "vboard: " << why << "\n";
        return 2;
    }
    // The board keeps its EEPROM in a folder of its own for as long as it plays: a replay
    // answers from the trace and writes no EEPROM, but a board needs its file.
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "vboard-replay-XXXXXX").string();
    const char* folder = ::mkdtemp(pattern.data());
    if (folder == nullptr) {
        context.err << "vboard: cannot make a folder for the replay's EEPROM\n";
        return 1;
    }
    BoardOptions options = ReplayingBoard(replay);
    options.slot = request.run.slot;
    options.busDir = context.busDir;
    options.eepromFile = std::string(folder) + "/eeprom";
    options.onFailure = [&context](const std::string&) {
        if (context.endWait) context.endWait();
    };
    int status = 0;
    {
        Board board(options);
        if (!board.Start(&why)) {
            context.err << "vboard: " << why << "\n";
            std::filesystem::remove_all(folder);
            return 1;
        }
        context.out << "replaying " << request.traceFile << " on slot " << board.Slot() << " of "
                    << board.BusDirectory() << "\n"
                    << "device path " << board.DevicePath() << std::endl;
        std::atomic<bool> done{false}, ended{false};
        std::thread watch([&] {
            using namespace std::chrono;
            auto quietSince = steady_clock::now();
            while (!done) {
                std::this_thread::sleep_for(milliseconds(50));
                if (!replay->Started() || replay->OpenHandles() > 0) {
                    quietSince = steady_clock::now();
                    continue;
                }
                const bool settled = !replay->Differences().empty() || replay->AllCame();
                if (steady_clock::now() - quietSince <
                    milliseconds(settled ? kQuietMs : kQuietBeforeTheEndMs))
                    continue;
                if (request.loop && replay->Differences().empty() && replay->AllCame()) {
                    context.out << "session played; again" << std::endl;
                    replay->Restart();
                    continue;
                }
                ended = true;
                if (context.endWait) context.endWait();
                return;
            }
        });
        if (context.waitWhileRunning) context.waitWhileRunning(board);
        done = true;
        watch.join();
        board.Stop();
        const auto differences = replay->Differences();
        const std::string missing = ended ? replay->FirstMissing() : std::string();
        if (!differences.empty()) {
            context.err << "vboard: the session differs from the trace (" << differences.size()
                        << (differences.size() == 1 ? " request" : " requests")
                        << "); the first: " << differences.front() << "\n";
            status = 1;
        } else if (!missing.empty()) {
            context.err << "vboard: the session ended before " << missing << "\n";
            status = 1;
        } else {
            context.out << (ended ? "the session went as recorded\n" : "stopped; no difference so far\n");
        }
    }
    std::filesystem::remove_all(folder);
    return status;
}

}  // namespace

std::string UsageText() {
    return std::string(
               "Usage:\n"
               "  vboard run [--slot N] [--type 0x21] [--eeprom FILE] [--device-path P] [--report-ms N]\n"
               "             [--unplugged] [--clock HH:MM:SS] [--sync] [--trace] [--record FILE] [--panel]\n"
               "      Attach a virtual board to the bus and serve it until SIGINT or SIGTERM.\n"
               "      --slot N         the bus slot (default: the lowest free one)\n"
               "      --type 0xNN      the board-type byte (default 0x21)\n"
               "      --eeprom FILE    the file that keeps the EEPROM (default:\n"
               "                       $XDG_DATA_HOME/vboard/board-N.eeprom or ~/.local/share/vboard/...)\n"
               "      --device-path P  the device path to publish (default \\\\?\\vboard#board&N#...)\n"
               "      --report-ms N    also send a status report every N ms\n"
               "      --unplugged      start unplugged\n"
               "      --clock HH:MM:SS start the clock here (default: the local time)\n"
               "      --sync           flush every EEPROM write to disk before acknowledging it, so it\n"
               "                       survives a power cut (default: it survives a killed board)\n"
               "      --trace          print every request of the traffic log as it happens\n"
               "      --record FILE    write the session as the board sees it to FILE, in the format\n"
               "                       of BOARD_TRACE (docs/TRACE.md), for vboard replay\n"
               "      --panel          show the board's front panel; closing it unplugs the board and\n"
               "                       ends the program\n"
               "  vboard replay FILE [--slot N] [--loop] [--speed N] [--lenient FIELD]...\n"
               "      Attach a board that plays the session recorded in FILE (a BOARD_TRACE file, see\n"
               "      docs/TRACE.md): each request is compared with the next one recorded for its pipe\n"
               "      and answered as recorded, after the recorded delay. The first request that differs\n"
               "      is answered with an error and named with its trace line. Ends when the session has\n"
               "      (no handle open for 1 s once every recorded request has come or one differed; for\n"
               "      10 s while some are still to come): exit 0 when it went as recorded, 1 when a\n"
               "      request differed or a recorded one never came.\n"
               "      --loop           play the session again each time it has gone as recorded\n"
               "      --speed N        divide the recorded delays by N (2: twice as fast)\n"
               "      --lenient FIELD  let a field differ: timing (answer at once), length (a read's\n"
               "                       length), data (a write's bytes), clock (status reports carry\n"
               "                       this board's clock); may be given more than once\n"
               "  vboard list\n"
               "      List the boards on the bus: slot, plugged or unplugged, device path.\n"
               "  vboard [--slot N] COMMAND ...\n"
               "      Steer a running board (default: the one at the lowest slot). Commands:\n") +
           Indented(CommandHelp(), "    ") +
           "  vboard --help\n"
           "\n"
           "Faults act on requests that arrive after they are set. A request that is not answered at\n"
           "once is pending: the caller sees ERROR_IO_PENDING and later its completion.\n"
           "\n"
           "Examples:\n"
           "  vboard run &                      a board on the lowest free slot\n"
           "  vboard press 3                    key 3 down for 100 ms\n"
           "  vboard fault PIPE02 delay 1500    EEPROM reads answer after 1.5 s\n"
           "  vboard --slot 1 unplug            pull the board on slot 1\n"
           "\n"
           "Environment:\n"
           "  VBOARD_BUS   the bus directory (default: $XDG_RUNTIME_DIR/vboard-bus, else\n"
           "               /tmp/vboard-bus-<uid>). Boards and tools meet there.\n"
           "\n"
           "Exit status:\n"
           "  0 done\n"
           "  1 failed: the board refused the command, the board could not start or could not go on\n"
           "    (run), or the bus directory is not safe to use\n"
           "  2 usage error (checked before any board is looked for)\n"
           "  3 no board on the bus (or none on the slot given)\n"
           "  4 a board took the connection but did not answer: it may be out of connection slots\n";
}

CliRequest ParseCommandLine(const std::vector<std::string>& args) {
    // An option that takes a value takes the next word, whatever it is; only the last has none.
    static const char* const kTakesValue[] = {"--slot",        "--type",      "--eeprom",
                                              "--device-path", "--report-ms", "--clock",
                                              "--speed",       "--lenient",   "--record"};
    if (!args.empty() &&
        std::find(std::begin(kTakesValue), std::end(kTakesValue), args.back()) != std::end(kTakesValue))
        return Error(args.back() + " needs a value");

    CLI::App app("", "vboard");
    app.set_help_flag();   // the help text is vboard's own (UsageText)
    app.prefix_command();  // the first other word starts a board command: it and the rest are the board's
    app.require_subcommand(0, 1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool help = false;
    std::string slot;
    app.add_flag("-h,--help", help);
    CLI::Option* slotGiven = app.add_option("--slot", slot);

    CLI::App* run = app.add_subcommand("run");
    run->set_help_flag();
    run->allow_extras();
    std::string runSlot, type, eeprom, devicePath, reportMs, clock, record;
    bool unplugged = false, sync = false, trace = false;
    CLI::Option* runSlotGiven = run->add_option("--slot", runSlot);
    CLI::Option* typeGiven = run->add_option("--type", type);
    CLI::Option* eepromGiven = run->add_option("--eeprom", eeprom);
    CLI::Option* pathGiven = run->add_option("--device-path", devicePath);
    CLI::Option* reportGiven = run->add_option("--report-ms", reportMs);
    CLI::Option* clockGiven = run->add_option("--clock", clock);
    CLI::Option* recordGiven = run->add_option("--record", record);
    run->add_flag("--unplugged", unplugged);
    run->add_flag("--sync", sync);
    run->add_flag("--trace", trace);

    CLI::App* replay = app.add_subcommand("replay");
    replay->set_help_flag();
    replay->allow_extras();
    std::string traceFile, speed;
    std::vector<std::string> lenient;
    bool loop = false;
    replay->add_option("FILE", traceFile);
    CLI::Option* speedGiven = replay->add_option("--speed", speed);
    replay->add_option("--lenient", lenient)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    replay->add_flag("--loop", loop);

    CLI::App* list = app.add_subcommand("list");
    list->set_help_flag();
    list->allow_extras();

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them from the back
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return Error(e.what());
    }
    const std::vector<std::string> rest = app.remaining();
    if (help || (!rest.empty() && rest[0] == "help")) return CliRequest{};

    CliRequest request;
    if (slotGiven->count() > 0) {
        auto n = ParseNumber(slot, 9999);
        if (!n) return Error("not a slot: " + slot);
        request.slot = static_cast<int>(*n);
    }
    if (run->parsed()) {
        if (!run->remaining().empty()) return Error("unknown option for run: " + run->remaining()[0]);
        request.kind = CliRequest::Kind::Run;
        request.run.slot = request.slot;
        request.run.plugged = !unplugged;
        request.run.syncWrites = sync;
        request.trace = trace;
        if (runSlotGiven->count() > 0) {
            auto n = ParseNumber(runSlot, 9999);
            if (!n) return Error("not a slot: " + runSlot);
            request.run.slot = static_cast<int>(*n);
        }
        if (typeGiven->count() > 0) {
            auto n = ParseNumber(type, 255);
            if (!n) return Error("not a type byte: " + type);
            request.run.type = static_cast<std::uint8_t>(*n);
        }
        if (eepromGiven->count() > 0) request.run.eepromFile = eeprom;
        if (recordGiven->count() > 0) {
            if (record.empty()) return Error("--record needs a file name");
            request.run.recordFile = record;
        }
        if (pathGiven->count() > 0) {
            if (devicePath.empty()) return Error("the device path is empty");
            request.run.devicePath = devicePath;
        }
        if (reportGiven->count() > 0) {
            auto ms = ParseNumber(reportMs, 24u * 60 * 60 * 1000);
            if (!ms) return Error("not a time in ms: " + reportMs);
            request.run.reportIntervalMs = static_cast<int>(*ms);
        }
        if (clockGiven->count() > 0) {
            auto t = ParseClockTime(clock);
            if (!t) return Error("not a time HH:MM:SS: " + clock);
            request.run.clock = *t;
        }
        return request;
    }
    if (replay->parsed()) {
        if (!replay->remaining().empty())
            return Error("unknown option for replay: " + replay->remaining()[0]);
        if (traceFile.empty()) return Error("replay needs a trace FILE");
        request.kind = CliRequest::Kind::Replay;
        request.run.slot = request.slot;
        request.traceFile = traceFile;
        request.loop = loop;
        if (speedGiven->count() > 0) {
            char* end = nullptr;
            request.replay.speed = std::strtod(speed.c_str(), &end);
            if (end == speed.c_str() || *end != '\0' ||
                !(request.replay.speed >= 0.01 && request.replay.speed <= 1000))
                return Error("not a speed 0.01..1000: " + speed);
        }
        for (const std::string& field : lenient) {
            if (field != "timing" && field != "length" && field != "data" && field != "clock")
                return Error("--lenient takes timing, length, data or clock, not \"" + field + "\"");
            request.replay.lenient.insert(field);
        }
        return request;
    }
    if (list->parsed()) {
        if (!list->remaining().empty()) return Error("list takes no arguments");
        request.kind = CliRequest::Kind::List;
        return request;
    }
    if (rest.empty()) return Error("no command (try: vboard --help)");
    if (rest[0].rfind("--", 0) == 0) return Error("unknown option " + rest[0]);
    request.kind = CliRequest::Kind::Command;
    for (const std::string& word : rest) request.command += (request.command.empty() ? "" : " ") + word;
    return request;
}

int RunCommandLine(const std::vector<std::string>& args, CliContext& context) {
    CliRequest request = ParseCommandLine(args);
    switch (request.kind) {
        case CliRequest::Kind::Help:
            context.out << UsageText();
            return 0;
        case CliRequest::Kind::Error:
            context.err << "vboard: " << request.error << "\n";
            return 2;
        case CliRequest::Kind::List: {
            if (std::string why; !BusUsable(context.busDir, why)) {
                context.err << "vboard: " << why << "\n";
                return 1;
            }
            auto boards = ListBoards(context.busDir);
            if (boards.empty()) context.out << "no boards on " << context.busDir << "\n";
            for (const auto& b : boards) {
                context.out << "slot " << b.slot << "  ";
                if (b.answered)
                    context.out << (b.present ? "plugged  " : "unplugged") << "  " << b.devicePath << "\n";
                else
                    context.out << "not answering (out of connection slots?)\n";
            }
            return 0;
        }
        case CliRequest::Kind::Run: {
            request.run.busDir = context.busDir;
            request.run.onFailure = [&context](const std::string&) {
                if (context.endWait) context.endWait();
            };
            Board board(request.run);
            std::string why;
            if (!board.Start(&why)) {
                context.err << "vboard: " << why << "\n";
                return 1;
            }
            context.out << "board on slot " << board.Slot() << " of " << board.BusDirectory() << "\n"
                        << "device path " << board.DevicePath() << "\n"
                        << "EEPROM file " << board.EepromFile() << std::endl;
            TracePrinter tracer(context.out);
            if (request.trace) board.AddObserver(&tracer);
            if (context.waitWhileRunning) context.waitWhileRunning(board);
            board.Stop();
            board.RemoveObserver(&tracer);
            return board.Failed() ? 1 : 0;
        }
        case CliRequest::Kind::Replay:
            return RunReplay(request, context);
        case CliRequest::Kind::Command:
            break;
    }

    std::string command = request.command;
    if (command.rfind("eeprom load ", 0) == 0) {
        const std::string arg = command.substr(12);
        std::error_code ec;
        if (arg.find(' ') == std::string::npos && std::filesystem::is_regular_file(arg, ec)) {
            std::string why;
            auto hex = ReadEepromImage(arg, why);
            if (!hex) {
                context.err << "vboard: " << why << "\n";
                return 2;
            }
            command = "eeprom load " + *hex;
        }
    }
    if (const ParsedCommand parsed = ParseCommand(command); !parsed.apply) {
        context.err << "vboard: " << parsed.usage << "\n";
        return 2;
    }
    if (std::string why; !BusUsable(context.busDir, why)) {
        context.err << "vboard: " << why << "\n";
        return 1;
    }
    // Without --slot, the board at the lowest slot that takes the connection (no probe, so its log
    // stays clean). A board that takes it but does not answer is not passed over for the next one.
    std::vector<int> slots =
        request.slot >= 0 ? std::vector<int>{request.slot} : vbus::ListSlots(context.busDir);
    std::string why = "no board on " + context.busDir;
    std::optional<CommandResult> reply;
    bool found = false;
    for (int slot : slots)
        if ((reply = SendCommand(context.busDir, slot, command, &why, &found)) || found) break;
    if (!reply) {
        context.err << "vboard: " << why << "\n";
        return found ? 4 : 3;
    }
    std::string text = reply->text;
    if (!text.empty() && text.back() != '\n') text += '\n';
    (reply->ok ? context.out : context.err) << text;
    return reply->ok ? 0 : 1;
}

}  // namespace vboard
