// keys and clock: one status report from PIPE00, or --watch to follow them until Ctrl-C.
// Reports are read as Tesmor's poller reads them: the pipe opened for one 4-byte report and
// closed again, a short report skipped.
#include <windows.h>

#include <optional>
#include <string>

#include "board_link.h"
#include "commands.h"
#include "end_report.h"
#include "exit_codes.h"
#include "json.h"
#include "status_report.h"

namespace {

constexpr char kStatusPipe[] = "PIPE00";
// A single report waits no longer than this; the board sends one at least every second.
constexpr DWORD kOneReportTimeoutMs = 3000;

enum class Shown { Keys, Clock };

// "key 4" (numbered as Tesmor's lamps) or "none".
std::string KeyText(const StatusReport& report) {
    const int lamp = LitLamp(report.key);
    return lamp < 0 ? "none" : "key " + std::to_string(lamp + 1);
}

std::string Line(Shown shown, const StatusReport& report, bool json, bool watching) {
    const std::string clock = ClockText(report);
    const int lamp = LitLamp(report.key);
    if (json) {
        // keys: the key and the clock, with or without --watch; clock: the clock.
        Json object = {{"ok", true}};
        if (shown == Shown::Keys) {
            object["key"] = lamp < 0 ? Json(nullptr) : Json(lamp + 1);
            object["code"] = static_cast<int>(report.key);
        }
        object["hours"] = static_cast<int>(BcdDecode(report.hours));
        object["minutes"] = static_cast<int>(BcdDecode(report.minutes));
        object["seconds"] = static_cast<int>(BcdDecode(report.seconds));
        object["clock"] = clock;
        return JsonLine(object);
    }
    if (shown == Shown::Clock) return clock + "\n";
    return watching ? clock + "  " + KeyText(report) + "\n" : KeyText(report) + "\n";
}

void Show(Console& console, bool json, const std::string& line) {
    if (json)
        console.OutJson(line);
    else
        console.Out(line);
}

// A watch gives up after this many failed reads in a row (a board that fails every read at
// once would otherwise keep it spinning).
constexpr int kFailedReadsInARow = 3;

// One report; nullopt when the read failed (`failed` set) or came short. Throws when the pipe
// will not open.
std::optional<StatusReport> ReadReport(StopSignal& stop, DWORD timeoutMs, bool& failed, int& got) {
    // A --watch waits for the next report without a limit: Ctrl-C ends that wait.
    BoundedStep step("waiting for a status report", timeoutMs == INFINITE
                                                        ? std::nullopt
                                                        : std::optional<std::chrono::milliseconds>(
                                                              std::chrono::milliseconds(timeoutMs + 1000)));
    HANDLE pipe = OpenBoardPipe(kStatusPipe);
    if (pipe == INVALID_HANDLE_VALUE)
        throw CommandError(kExitBoardFailure, "Open driver failed! Can't read from PIPE00.");
    stop.Handles().Register(pipe);
    BYTE buffer[kStatusReportSize] = {};
    // Ctrl-C may have come while the pipe was opening; it cancels what is registered, and
    // again until the command has ended.
    got = stop.Requested()
              ? -1
              : ReadPipeTimed(pipe, buffer, sizeof buffer, timeoutMs, [&stop] { return stop.Requested(); });
    stop.Handles().Unregister(pipe);
    CloseBoardHandle(pipe);
    failed = got <= 0;
    if (got < static_cast<int>(kStatusReportSize)) return std::nullopt;
    return StatusReportFrom(buffer);
}

void Run(Context& context, Shown shown) {
    ChooseBoard(context.request);
    const bool json = context.request.json;
    if (!context.request.watch) {
        bool failed = false;
        int got = 0;
        const auto report = ReadReport(context.stop, kOneReportTimeoutMs, failed, got);
        if (context.stop.Requested()) throw CommandError(kExitInterrupted, "interrupted");
        if (!report && got > 0)
            throw CommandError(kExitBoardFailure, "a short status report on PIPE00 (" + std::to_string(got) +
                                                      " of " + std::to_string(kStatusReportSize) + " bytes)");
        if (!report)
            throw CommandError(kExitBoardFailure, "no status report on PIPE00 within " +
                                                      std::to_string(kOneReportTimeoutMs) + " ms");
        Show(context.console, json, Line(shown, *report, json, false));
        return;
    }
    std::optional<std::string> last;
    int failures = 0;
    while (!context.stop.Requested()) {
        Sleep(1);
        bool failed = false;
        int got = 0;
        const auto report = ReadReport(context.stop, INFINITE, failed, got);
        if (context.stop.Requested()) break;
        // A read without time limit fails when the board goes away: the next open says so.
        failures = failed ? failures + 1 : 0;
        if (failures >= kFailedReadsInARow)
            throw CommandError(kExitBoardFailure, "Data transfer on PIPE00 failed! Aborted.");
        if (!report) continue;
        // Keys: a line when the key changes; clock: when the time does.
        const std::string key =
            shown == Shown::Keys ? std::to_string(LitLamp(report->key)) : ClockText(*report);
        if (last && *last == key) continue;
        last = key;
        Show(context.console, json, Line(shown, *report, json, true));
    }
}

}  // namespace

void RunKeys(Context& context) { Run(context, Shown::Keys); }

void RunClock(Context& context) { Run(context, Shown::Clock); }
