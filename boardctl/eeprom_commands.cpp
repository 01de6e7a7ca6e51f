// eeprom read, write, verify and fill.
#include <string>

#include "commands.h"
#include "eeprom_jobs.h"
#include "exit_codes.h"
#include "file_io.h"
#include "json.h"

namespace {

std::string Range(int start, std::size_t count) {
    return HexByte(start) + ".." + HexByte(start + static_cast<int>(count) - 1);
}

// What `eeprom write` or `verify` is to put in the EEPROM: the file or --data, wholly read and
// checked before the board is touched.
Image LoadImage(const Request& request) {
    ImageError error;
    if (request.data) {
        const auto image = ParseImage(ImageFormat::Hex, *request.data, request.start.value_or(0), error);
        if (!image) throw CommandError(kExitUsage, "--data: " + error.reason + " (nothing written)");
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
                                           ": " + error.reason + " (" + FormatName(format) +
                                           "; nothing written)");
    return *image;
}

// The first address where the EEPROM differs from the image; throws (exit 4) naming it.
void Compare(const Image& image, StopSignal& stop, const std::string& against) {
    for (const ByteRun& run : image.runs) {
        const std::vector<std::uint8_t> board =
            ReadEeprom(run.address, static_cast<int>(run.bytes.size()), stop);
        for (std::size_t i = 0; i < board.size(); ++i)
            if (board[i] != run.bytes[i])
                throw CommandError(kExitMismatch, "address " + HexByte(run.address + static_cast<int>(i)) +
                                                      " holds " + HexByte(board[i]) + ", " + against +
                                                      " has " + HexByte(run.bytes[i]));
    }
}

void WriteImage(Context& context, const Image& image, const std::string& against) {
    for (const ByteRun& run : image.runs) WriteEeprom(run, context.stop);
    if (context.request.verify) Compare(image, context.stop, against);
    std::string ranges;
    for (const ByteRun& run : image.runs)
        ranges += (ranges.empty() ? "" : ", ") + Range(run.address, run.bytes.size());
    if (context.request.json) {
        context.console.Out(JsonObject()
                                .Add("ok", true)
                                .Add("written", static_cast<long long>(image.ByteCount()))
                                .Add("ranges", ranges)
                                .Add("verified", context.request.verify)
                                .Line());
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
    ChooseBoard(request);
    const std::vector<std::uint8_t> bytes = ReadEeprom(start, length, context.stop);

    if (!request.outputFile.empty()) {
        const ImageFormat format = request.format.value_or(FormatForPath(request.outputFile));
        ReplaceOutputFile(request.outputFile, RenderImage(format, start, bytes));
        if (request.json)
            context.console.Out(JsonObject()
                                    .Add("ok", true)
                                    .Add("start", start)
                                    .Add("length", length)
                                    .Add("file", request.outputFile)
                                    .Add("format", FormatName(format))
                                    .Line());
        else
            context.console.Out("read " + std::to_string(length) + " bytes at " + Range(start, bytes.size()) +
                                " into " + request.outputFile + " (" + FormatName(format) + ")\n");
        return;
    }
    if (request.json) {
        context.console.Out(JsonObject()
                                .Add("ok", true)
                                .Add("start", start)
                                .Add("length", length)
                                .Add("bytes", bytes)
                                .Line());
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
        context.console.Out(
            JsonObject().Add("ok", true).Add("compared", static_cast<long long>(image.ByteCount())).Line());
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
