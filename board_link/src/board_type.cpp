// Board-type byte to title text, and the identification sequence of detection.
#include "board_link.h"

const BoardTypeEntry BoardTypeTable[2] = {
    {0x21, "   QL-3306"},
    {0x22, "   LINKBAY 2.0"},
};

const char kNoBoardTitle[] = "No Board Attached ";
const char kUnknownBoardTitle[] = "Unknown Board";

const char* BoardTypeTitle(BYTE type) {
    for (const BoardTypeEntry& entry : BoardTypeTable)
        if (entry.type == type) return entry.title;
    return kUnknownBoardTitle;
}

bool IsKnownBoardType(BYTE type) { return BoardTypeTitle(type) != kUnknownBoardTitle; }

BoardIdentity IdentifyBoard() {
    if (FindBoard() != 0) return {BoardPresence::Absent, 0, kNoBoardTitle};
    HANDLE device = OpenBoardDevice();
    if (device == INVALID_HANDLE_VALUE) return {BoardPresence::Absent, 0, kNoBoardTitle};
    BYTE type = 0;
    const int queried = QueryBoardType(device, type);
    CloseBoardHandle(device);
    if (queried != 0) return {BoardPresence::Absent, 0, kNoBoardTitle};
    return {IsKnownBoardType(type) ? BoardPresence::Known : BoardPresence::Unknown, type, BoardTypeTitle(type)};
}
