#include "vboard/control_client.h"

#include "platform.h"
#include "vbus/bus_dir.h"

namespace vboard {
namespace {

// Connects and says HELLO; the board's WELCOME, or nothing.
std::optional<vbus::Welcome> Greet(vbus::Stream& stream, vbus::Purpose purpose, std::string& why) {
    if (!vbus::WriteMessage(stream, vbus::Hello{vbus::kProtocolVersion, purpose, ""})) {
        why = "the board closed the connection";
        return std::nullopt;
    }
    auto answer = vbus::ReadMessage(stream, why);
    auto* welcome = answer ? std::get_if<vbus::Welcome>(&*answer) : nullptr;
    if (!welcome) {
        if (why.empty()) why = "the board did not answer HELLO";
        return std::nullopt;
    }
    if (welcome->error != 0) {
        why = "the board refused the connection with error " + std::to_string(welcome->error);
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
        if (!welcome) continue;
        boards.push_back(BoardInfo{slot, welcome->present, welcome->devicePath});
    }
    return boards;
}

std::optional<CommandResult> SendCommand(const std::string& busDir, int slot, const std::string& command,
                                         std::string* why) {
    std::string reason;
    auto fail = [&](std::string text) -> std::optional<CommandResult> {
        if (why) *why = std::move(text);
        return std::nullopt;
    };
    auto stream = ConnectToBoard(busDir, slot);
    if (!stream) return fail("no board answers on slot " + std::to_string(slot) + " of " + busDir);
    if (!Greet(*stream, vbus::Purpose::Control, reason)) return fail(reason);
    if (!vbus::WriteMessage(*stream, vbus::Command{command})) return fail("the board closed the connection");
    auto answer = vbus::ReadMessage(*stream, reason);
    auto* reply = answer ? std::get_if<vbus::Reply>(&*answer) : nullptr;
    if (!reply) return fail(reason.empty() ? "the board did not reply" : reason);
    return CommandResult{reply->ok, reply->text};
}

}  // namespace vboard
