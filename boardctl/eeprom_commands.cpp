// eeprom read, write, verify and fill.
#include <string>

#include "commands.h"
#include "eeprom_jobs.h"
#include "end_report.h"
#include "exit_codes.h"
#include "file_io.h"
#include "json.h"

namespace {

std::string Range(int start, std::size_t count) {
    return HexByte(start) + ".." + HexByte(start + static_cast<int>(count) - 1);
}

// What `eeprom write` is to put in the EEPROM, or `verify` to compare it with: the file or
// --data, wholly read and checked before the board is touched.
Image LoadImage(const Request& request) {
    const std::string untouched = request.verb == Verb::EepromVerify ? "nothing compared" : "nothing written";
    ImageError error;
    if (request.data) {
        const auto image = ParseImage(ImageFormat::Text, *request.data, request.start.value_or(0), error);
        if (!image) throw CommandError(kExitUsage, "--data: " + error.reason + " (" + untouched + ")");
        return *image;
    }
    const std::string& path = request.inputFile;
    const ImageFormat format = request.format.value_or(FormatForPath(path));
    if (FormatCarriesAddresses(format) && request.start)
        throw CommandError(kExitUsage, path + ": a " + FormatName(format) +
                                           " file carries its addresses; --start does not apply");
    const std::string content = ReadInputFile(path);
    const auto image = ParseImage(format, content, request.start.value_or(0), error);
    if (!image)
        throw CommandError(kExitUsage, path + (error.line > 0 ? ":" + std::to_string(error.line) : "") +
                                           ": " + error.reason + " (" + FormatName(format) + "; " +
                                           untouched + ")");
    return *image;
}

// The EEPROM against the image, every byte; throws (exit 4) naming the first difference and how
// many there are, with every one of them in the --json object. A read that fails throws exit 1:
// "could not verify" is never "different".
void Compare(const Image& image, StopSignal& stop, const std::string& against) {
    std::string first;
    Json listed = Json::array();
    int differences = 0;
    for (const ByteRun& run : image.runs) {
        const std::vector<std::uint8_t> board =
            ReadEeprom(run.address, static_cast<int>(run.bytes.size()), stop);
        for (std::size_t i = 0; i < board.size(); ++i) {
            if (board[i] == run.bytes[i]) continue;
            const int address = run.address + static_cast<int>(i);
            if (differences++ == 0)
                first = "address " + HexByte(address) + " holds " + HexByte(board[i]) + ", " + against +
                        " has " + HexByte(run.bytes[i]);
            listed.push_back({{"address", address}, {"board", board[i]}, {"file", run.bytes[i]}});
        }
    }
    if (differences == 0) return;
    throw CommandError(kExitMismatch,
                       first + (differences > 1 ? " (" + std::to_string(differences) + " bytes differ)" : ""),
                       {}, Json{{"differences", listed}});
}

// The bytes the image gives at a range, and what the EEPROM held there before the write.
std::vector<std::uint8_t> ImageBytes(const Image& image, AddressRange range) {
    std::vector<std::uint8_t> bytes;
    for (const ByteRun& run : image.runs)
        for (int a = range.start; a < range.start + range.length; ++a)
            if (a >= run.address && a < run.address + static_cast<int>(run.bytes.size()))
                bytes.push_back(run.bytes[static_cast<std::size_t>(a - run.address)]);
    return bytes;
}

// After a write that stopped early: what is written, what is not, the job whose state is
// unknown, and what reading that job's range back shows (where the board still answers),
// measured against what the EEPROM held before: "unchanged", "written" or "partly written
// (N of M bytes)", M counting the bytes the write was to change.
[[noreturn]] void ReportStoppedWrite(const WriteFailure& failure, const Image& image, const Image& before) {
    const WriteState& state = failure.State();
    std::string readText;
    Json readJson = Json::object();
    if (state.unknown) {
        const AddressRange r = *state.unknown;
        StopSignal readback;  // its own: an interrupt of the write does not stop the look
        try {
            const std::vector<std::uint8_t> board = ReadEeprom(r.start, r.length, readback);
            const std::vector<std::uint8_t> wanted = ImageBytes(image, r), old = ImageBytes(before, r);
            int toChange = 0, changed = 0, asBefore = 0;
            for (std::size_t i = 0; i < board.size(); ++i) {
                if (wanted[i] == old[i]) continue;
                ++toChange;
                changed += board[i] == wanted[i];
                asBefore += board[i] == old[i];
            }
            const char* said = changed == toChange    ? "written"
                               : asBefore == toChange ? "unchanged"
                                                      : "partly written";
            readText = std::string(": read back, ") + said;
            if (changed != toChange && asBefore != toChange)
                readText += " (" + std::to_string(changed) + " of " + std::to_string(toChange) + " bytes)";
            readJson["readback"] = Json::array({{{"start", r.start},
                                                 {"length", r.length},
                                                 {"state", said},
                                                 {"changed", changed},
                                                 {"of", toChange}}});
        } catch (const CommandError& unreadable) {
            readText = std::string(": could not be read back (") + unreadable.what() + ")";
        }
    }
    throw CommandError(failure.Code(), failure.what(), WriteStateText(state, readText), [&] {
        Json fields = WriteStateJson(state);
        AddFields(fields, readJson);
        return fields;
    }());
}

void WriteImage(Context& context, const Image& image, const std::string& against) {
    // What the ranges hold now, to tell after a failure what a write in flight changed.
    Image before;
    for (const ByteRun& run : image.runs)
        before.runs.push_back(
            {run.address, ReadEeprom(run.address, static_cast<int>(run.bytes.size()), context.stop)});
    try {
        WriteEeprom(image, context.stop);
    } catch (const WriteFailure& failure) {
        ReportStoppedWrite(failure, image, before);
    }
    if (context.request.verify) Compare(image, context.stop, against);
    std::string ranges;
    std::vector<AddressRange> listed;
    for (const ByteRun& run : image.runs) {
        ranges += (ranges.empty() ? "" : ", ") + Range(run.address, run.bytes.size());
        listed.push_back({run.address, static_cast<int>(run.bytes.size())});
    }
    if (context.request.json) {
        context.console.OutJson(JsonLine({{"ok", true},
                                          {"written", image.ByteCount()},
                                          {"ranges", RangesJson(listed)},
                                          {"verified", context.request.verify}}));
    } else {
        context.console.Out("wrote " + std::to_string(image.ByteCount()) + " bytes at " + ranges +
                            (context.request.verify ? ", verified" : "") + "\n");
    }
}

}  // namespace

void RunEepromRead(Context& context) {
    const Request& request = context.request;
    const int start = request.start.value_or(0);
    const int length = request.length.value_or(kEepromBytes - start);
    // Raw bytes would garble a terminal: only when asked for with -o -.
    if (request.outputFile.empty() && request.format == ImageFormat::Bin && !request.json &&
        context.console.OutIsTerminal())
        throw CommandError(kExitUsage, "raw bytes to a terminal: give -o FILE, or -o - to send them anyway");
    ChooseBoard(request);
    const std::vector<std::uint8_t> bytes = ReadEeprom(start, length, context.stop);

    const bool toStandardOutput = request.outputFile.empty() || request.outputFile == "-";
    if (!toStandardOutput) {
        const ImageFormat format = request.format.value_or(FormatForPath(request.outputFile));
        ReplaceOutputFile(request.outputFile, RenderImage(format, start, bytes));
        if (request.json)
            context.console.OutJson(JsonLine({{"ok", true},
                                              {"start", start},
                                              {"length", length},
                                              {"file", request.outputFile},
                                              {"format", FormatName(format)}}));
        else
            context.console.Out("read " + std::to_string(length) + " bytes at " + Range(start, bytes.size()) +
                                " into " + request.outputFile + " (" + FormatName(format) + ")\n");
        return;
    }
    if (request.json) {
        context.console.OutJson(
            JsonLine({{"ok", true}, {"start", start}, {"length", length}, {"bytes", bytes}}));
        return;
    }
    const ImageFormat format = request.format.value_or(ImageFormat::Dump);
    if (format == ImageFormat::Bin)
        context.console.OutBytes(RenderImage(format, start, bytes));
    else
        context.console.Out(RenderImage(format, start, bytes));
}

void RunEepromWrite(Context& context) {
    const Image image = LoadImage(context.request);
    ChooseBoard(context.request);
    WriteImage(context, image, context.request.data ? "--data" : context.request.inputFile);
}

void RunEepromVerify(Context& context) {
    const Image image = LoadImage(context.request);
    ChooseBoard(context.request);
    Compare(image, context.stop, context.request.inputFile);
    if (context.request.json)
        context.console.Out(JsonLine({{"ok", true}, {"compared", image.ByteCount()}}));
    else
        context.console.Out("the EEPROM matches " + context.request.inputFile + " (" +
                            std::to_string(image.ByteCount()) + " bytes)\n");
}

void RunEepromFill(Context& context) {
    const Request& request = context.request;
    const auto value = ParseNumber(request.value, 0, 255);
    if (!value) throw CommandError(kExitUsage, "not a byte 0..255 (or 0x00..0xff): " + request.value);
    const int start = request.start.value_or(0);
    const int length = request.length.value_or(kEepromBytes - start);
    Image image;
    image.runs.push_back({start, std::vector<std::uint8_t>(static_cast<std::size_t>(length),
                                                           static_cast<std::uint8_t>(*value))});
    ChooseBoard(request);
    WriteImage(context, image, "the fill");
}
