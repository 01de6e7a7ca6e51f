// Which board a command talks to, and the list of boards.
#include <string>

#include "board_link.h"
#include "commands.h"
#include "end_report.h"
#include "exit_codes.h"
#include "json.h"

namespace {

// The board's name without the title's leading blanks: "QL-3306", "Unknown Board".
std::string BoardName(BYTE type) {
    std::string name = BoardTypeTitle(type);
    const std::size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? name : name.substr(first);
}

}  // namespace

std::string HexByte(int value) {
    static const char digits[] = "0123456789abcdef";
    return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
}

void ChooseBoard(const Request& request) {
    BoundedStep step("identifying the board", std::chrono::milliseconds(2000));
    const BoardIdentity identity =
        request.board ? IdentifyBoardAt(static_cast<DWORD>(*request.board)) : IdentifyBoard();
    const std::string where = request.board ? " at interface " + std::to_string(*request.board) : "";
    if (identity.presence == BoardPresence::Absent)
        throw CommandError(kExitNoBoard, request.board ? "no board" + where + " (see boardctl list)"
                                                       : "no board found (No Board Attached)");
    if (identity.presence == BoardPresence::Unknown)
        throw CommandError(kExitNoBoard, "the board" + where + " is of an unknown type (" +
                                             HexByte(identity.type) + "): Unknown Board");
}

void RunList(Context& context) {
    const DWORD count = CountBoardInterfaces();
    std::string text;
    Json boards = Json::array();
    int usable = 0;
    for (DWORD index = 0; index < count; ++index) {
        const BoardIdentity identity = IdentifyBoardAt(index);
        Json entry = {{"board", static_cast<int>(index)}};
        if (identity.presence == BoardPresence::Absent) {
            text += std::to_string(index) + "  --    cannot be opened\n";
            entry["opens"] = false;
        } else {
            ++usable;
            const std::string name = BoardName(identity.type);
            text += std::to_string(index) + "  " + HexByte(identity.type) + "  " + name + "\n";
            entry["opens"] = true;
            entry["type"] = static_cast<int>(identity.type);
            entry["name"] = name;
            entry["known"] = identity.presence == BoardPresence::Known;
            entry["path"] = DevicePath.Get();
        }
        boards.push_back(entry);
    }
    if (usable == 0) {
        // Interfaces that would not open are still worth a look; the failure says the rest.
        if (!context.request.json) context.console.Out(text);
        throw CommandError(kExitNoBoard, "no board found");
    }
    if (context.request.json)
        context.console.OutJson(JsonLine({{"ok", true}, {"boards", boards}}));
    else
        context.console.Out(text);
}
