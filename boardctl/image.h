// EEPROM contents as files and text: the four formats boardctl reads and writes.
//
//   dump  "10: de ad be ef ...  |....|", 16 bytes a line with addresses and an ASCII column
//   text  the tools' own text, "de ad be ef ", 16 bytes a line
//   bin   the raw bytes
//   ihex  Intel HEX: data records of 16 bytes and the end-of-file record ("hex" too, as
//         every other programmer names it)
//
// dump and ihex carry their addresses; text and bin are placed at a start address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kEepromBytes = 256;

enum class ImageFormat { Dump, Text, Bin, Ihex };

std::optional<ImageFormat> ParseFormatName(std::string_view name);
const char* FormatName(ImageFormat format);
// The format a file's name suggests: .bin is bin; .hex, .ihx and .ihex are Intel HEX; .txt
// is the tools' text; anything else is a dump.
ImageFormat FormatForPath(const std::string& path);
// Whether the format says where its bytes go (dump, ihex) rather than taking a start address.
bool FormatCarriesAddresses(ImageFormat format);

// Bytes at consecutive EEPROM addresses.
struct ByteRun {
    int address = 0;
    std::vector<std::uint8_t> bytes;
};

// What a file holds: runs in ascending address order, none overlapping, none empty, all within
// the EEPROM.
struct Image {
    std::vector<ByteRun> runs;
    std::size_t ByteCount() const;
};

// Why a file was refused: the line it was found on (0 for no particular line) and the reason.
struct ImageError {
    int line = 0;
    std::string reason;
};

// The bytes read from `start` in the format, ready to write to a file or standard output.
std::string RenderImage(ImageFormat format, int start, const std::vector<std::uint8_t>& bytes);

// Reads `content` in the format; hex and bin are placed at `start`. Refuses a bad digit, a bad
// checksum, a record or byte past address 255, an address given twice, and a file without bytes.
std::optional<Image> ParseImage(ImageFormat format, std::string_view content, int start, ImageError& error);

// ---- one file per format --------------------------------------------------------------

std::string RenderDump(int start, const std::vector<std::uint8_t>& bytes);
std::string RenderHexText(int start, const std::vector<std::uint8_t>& bytes);
std::string RenderIhex(int start, const std::vector<std::uint8_t>& bytes);

// Each parser adds what it reads to `image` through an ImageBuilder and reports errors by line.
class ImageBuilder {
  public:
    // Adds `bytes` at `address`; false with the reason when they run past address 255 or meet
    // bytes already added.
    bool Add(int address, const std::vector<std::uint8_t>& bytes, std::string& why);
    // The runs in address order, adjacent ones joined.
    Image Finish() const;

  private:
    std::vector<ByteRun> pieces_;
};

bool ParseDump(std::string_view content, ImageBuilder& image, ImageError& error);
bool ParseHexText(std::string_view content, int start, ImageBuilder& image, ImageError& error);
bool ParseBin(std::string_view content, int start, ImageBuilder& image, ImageError& error);
bool ParseIhex(std::string_view content, ImageBuilder& image, ImageError& error);

// Splits text into lines (the last may lack its newline), without the "\r\n" or "\n".
std::vector<std::string_view> TextLines(std::string_view content);
