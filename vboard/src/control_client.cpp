#include "vboard/control_client.h"

#include "platform.h"
#include "vbus/bus_dir.h"

namespace vboard {
namespace {

// Connects and says HELLO; the board's WELCOME, or nothing.
std::optional<vbus::Welcome> Greet(vbus::Stream& stream, vbus::Purpose purpose, std::string& why) {
    if (!vbus::WriteMessage(stream, vbus::Hello{vbus::kProtocolVersion, purpose, ""})) {
        why = "closed it";
        return std::nullopt;
    }
    auto answer = vbus::ReadMessage(stream, why);
    auto* welcome = answer ? std::get_if<vbus::Welcome>(&*answer) : nullptr;
    if (!welcome) {
        why = answer        ? std::string("answered HELLO with ") + vbus::MessageName(*answer)
              : why.empty() ? "closed it without a greeting"
                            : "sent a bad frame (" + why + ")";
        return std::nullopt;
    }
    if (welcome->error != 0) {
        why = "refused it with error " + std::to_string(welcome->error);
        return std::nullopt;
    }
    return *welcome;
}

}  // namespace

std::vector<BoardInfo> ListBoards(const std::string& busDir) {
    std::vector<BoardInfo> boards;
    for (int slot : vbus::ListSlots(busDir)) {
        auto stream = ConnectToBoard(busDir, slot);
        if (!stream) continue;  // a stale socket file of a board that died
        std::string why;
        auto welcome = Greet(*stream, vbus::Purpose::Probe, why);
        if (!welcome)
            boards.push_back(BoardInfo{slot, false, {}, false});
        else
            boards.push_back(BoardInfo{slot, welcome->present, welcome->devicePath});
    }
    return boards;
}

std::optional<CommandResult> SendCommand(const std::string& busDir, int slot, const std::string& command,
                                         std::string* why, bool* boardFound) {
    std::string reason;
    if (boardFound) *boardFound = false;
    auto fail = [&](std::string text) -> std::optional<CommandResult> {
        if (why) *why = std::move(text);
        return std::nullopt;
    };
    auto stream = ConnectToBoard(busDir, slot);
    if (!stream) return fail("no board answers on slot " + std::to_string(slot) + " of " + busDir);
    if (boardFound) *boardFound = true;
    auto busy = [&](const std::string& what) {
        return fail("the board on slot " + std::to_string(slot) + " of " + busDir +
                    " took the connection but " + what + " (it may be out of connection slots)");
    };
    if (!Greet(*stream, vbus::Purpose::Control, reason)) return busy(reason);
    if (!vbus::WriteMessage(*stream, vbus::Command{command})) return busy("closed it");
    auto answer = vbus::ReadMessage(*stream, reason);
    auto* reply = answer ? std::get_if<vbus::Reply>(&*answer) : nullptr;
    if (!reply) return busy(reason.empty() ? "did not reply" : "sent a bad frame (" + reason + ")");
    return CommandResult{reply->ok, reply->text};
}

}  // namespace vboard
