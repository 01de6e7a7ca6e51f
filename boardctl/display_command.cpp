// display VALUE: Tesmor's Modify from the command line. The value is checked in Modify's
// order, with its messages, and the 8 digits go to PIPE01 as its digit writer sends them.
#include <windows.h>

#include <string>

#include "board_link.h"
#include "commands.h"
#include "digit_value.h"
#include "end_report.h"
#include "exit_codes.h"
#include "json.h"

namespace {

constexpr DWORD kDigitWriteTimeoutMs = 50;

}  // namespace

void RunDisplay(Context& context) {
    DigitRecord digits{};
    switch (ParseDigitValue(context.request.value, digits)) {
        case DigitValueCheck::TooLong:
            throw CommandError(kExitUsage, "所写数值溢出，最多只能写入8位。 (at most 8 hexadecimal digits)");
        case DigitValueCheck::Empty:
            throw CommandError(kExitUsage, "请填入数值。 (the value is empty)");
        case DigitValueCheck::NotHex:
            throw CommandError(kExitUsage,
                               "所写数值格式不对，有可能不是16进制数。 (not a hexadecimal number)");
        case DigitValueCheck::Ok:
            break;
    }
    ChooseBoard(context.request);
    BoundedStep step("writing the display", std::chrono::milliseconds(kDigitWriteTimeoutMs + 2000));
    HANDLE pipe = OpenBoardPipe("PIPE01");
    if (pipe == INVALID_HANDLE_VALUE)
        throw CommandError(kExitBoardFailure, "Open driver failed! Can't write to PIPE01.");
    context.stop.Handles().Register(pipe);
    const int sent = WritePipeTimed(pipe, digits.data(), kDigitCount, kDigitWriteTimeoutMs,
                                    [&context] { return context.stop.Requested(); });
    context.stop.Handles().Unregister(pipe);
    CloseBoardHandle(pipe);
    if (sent < 1) throw CommandError(kExitBoardFailure, "Data transfer on PIPE01 failed! Aborted.");
    // Tesmor counts any bytes taken as done; the display would show a mix of old and new digits.
    if (sent < static_cast<int>(kDigitCount))
        throw CommandError(kExitBoardFailure, "the board took " + std::to_string(sent) + " of " +
                                                  std::to_string(kDigitCount) + " digits");

    static const char hexDigits[] = "0123456789ABCDEF";
    std::string shown;
    for (BYTE digit : digits) shown += hexDigits[digit & 0xF];
    if (context.request.json)
        context.console.OutJson(JsonLine({{"ok", true}, {"display", shown}}));
    else
        context.console.Out("display: " + shown + "\n");
}
