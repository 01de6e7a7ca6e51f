// The command line to a command, and a failure to its one line and exit status.
#include "commands.h"
#include "end_report.h"
#include "exit_codes.h"
#include "json.h"

namespace {

void Dispatch(Context& context) {
    switch (context.request.verb) {
        case Verb::Help:
            context.console.Out(HelpText(context.request));
            return;
        case Verb::List:
            return RunList(context);
        case Verb::EepromRead:
            return RunEepromRead(context);
        case Verb::EepromWrite:
            return RunEepromWrite(context);
        case Verb::EepromVerify:
            return RunEepromVerify(context);
        case Verb::EepromFill:
            return RunEepromFill(context);
        case Verb::Keys:
            return RunKeys(context);
        case Verb::Clock:
            return RunClock(context);
        case Verb::Display:
            return RunDisplay(context);
    }
}

std::string CommandName(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (OptionTakesValue(args[i])) {
            ++i;
            continue;
        }
        if (!args[i].empty() && args[i][0] == '-') continue;
        if (args[i] == "eeprom" && i + 1 < args.size()) return "eeprom " + args[i + 1];
        return args[i];
    }
    return {};
}

int Fail(Console& console, bool json, const std::string& command, ExitCode code, const std::string& message,
         const std::string& detailText = {}, const Json& detailJson = Json::object()) {
    console.Err("boardctl" + (command.empty() ? std::string() : " " + command) + ": " + message + "\n" +
                detailText);
    if (json) {
        Json failure = {{"ok", false}, {"error", message}, {"exit", static_cast<int>(code)}};
        AddFields(failure, detailJson);
        console.OutJson(JsonLine(failure));
    }
    return code;
}

}  // namespace

int RunBoardctl(const std::vector<std::string>& args, Console& console, StopSignal& stop) {
    std::string error;
    bool json = false;
    for (const std::string& a : args) json = json || a == "--json";
    const auto request = ParseCommandLine(args, error);
    if (!request)
        return Fail(console, json, CommandName(args), kExitUsage, error + " (try: boardctl --help)");
    EndReport::Instance().Attach(console, request->json, CommandName(args));
    Context context{*request, console, stop};
    try {
        Dispatch(context);
    } catch (const CommandError& failure) {
        return Fail(console, request->json, CommandName(args), failure.Code(), failure.what(),
                    failure.DetailText(), failure.DetailJson());
    } catch (const std::exception& failure) {
        return Fail(console, request->json, CommandName(args), kExitBoardFailure, failure.what());
    }
    // Ctrl-C ends a --watch as done.
    return kExitOk;
}
