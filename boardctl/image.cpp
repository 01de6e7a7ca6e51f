#include "image.h"

#include <algorithm>

std::optional<ImageFormat> ParseFormatName(std::string_view name) {
    if (name == "dump") return ImageFormat::Dump;
    if (name == "text") return ImageFormat::Text;
    if (name == "bin") return ImageFormat::Bin;
    if (name == "ihex" || name == "hex") return ImageFormat::Ihex;  // Intel HEX, as programmers name it
    return std::nullopt;
}

const char* FormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::Dump:
            return "dump";
        case ImageFormat::Text:
            return "text";
        case ImageFormat::Bin:
            return "bin";
        case ImageFormat::Ihex:
            return "ihex";
    }
    return "dump";
}

ImageFormat FormatForPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ImageFormat::Dump;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (extension == "bin") return ImageFormat::Bin;
    if (extension == "hex" || extension == "ihx" || extension == "ihex") return ImageFormat::Ihex;
    if (extension == "txt") return ImageFormat::Text;
    return ImageFormat::Dump;
}

bool FormatCarriesAddresses(ImageFormat format) {
    return format == ImageFormat::Dump || format == ImageFormat::Ihex;
}

std::size_t Image::ByteCount() const {
    std::size_t n = 0;
    for (const ByteRun& run : runs) n += run.bytes.size();
    return n;
}

std::string RenderImage(ImageFormat format, int start, const std::vector<std::uint8_t>& bytes) {
    switch (format) {
        case ImageFormat::Dump:
            return RenderDump(start, bytes);
        case ImageFormat::Text:
            return RenderHexText(start, bytes);
        case ImageFormat::Bin:
            return std::string(bytes.begin(), bytes.end());
        case ImageFormat::Ihex:
            return RenderIhex(start, bytes);
    }
    return {};
}

std::optional<Image> ParseImage(ImageFormat format, std::string_view content, int start, ImageError& error) {
    ImageBuilder builder;
    bool parsed = false;
    switch (format) {
        case ImageFormat::Dump:
            parsed = ParseDump(content, builder, error);
            break;
        case ImageFormat::Text:
            parsed = ParseHexText(content, start, builder, error);
            break;
        case ImageFormat::Bin:
            parsed = ParseBin(content, start, builder, error);
            break;
        case ImageFormat::Ihex:
            parsed = ParseIhex(content, builder, error);
            break;
    }
    if (!parsed) return std::nullopt;
    Image image = builder.Finish();
    if (image.runs.empty()) {
        error = {0, "the file holds no bytes"};
        return std::nullopt;
    }
    return image;
}

bool ImageBuilder::Add(int address, const std::vector<std::uint8_t>& bytes, std::string& why) {
    if (bytes.empty()) return true;
    const int end = address + static_cast<int>(bytes.size());
    if (address < 0 || end > kEepromBytes) {
        why = std::to_string(bytes.size()) + " bytes at address " + std::to_string(address) +
              " run past address 255";
        return false;
    }
    for (const ByteRun& piece : pieces_) {
        const int pieceEnd = piece.address + static_cast<int>(piece.bytes.size());
        if (address < pieceEnd && piece.address < end) {
            why = "address " + std::to_string(std::max(address, piece.address)) + " is given twice";
            return false;
        }
    }
    pieces_.push_back({address, bytes});
    return true;
}

Image ImageBuilder::Finish() const {
    std::vector<ByteRun> sorted = pieces_;
    std::sort(sorted.begin(), sorted.end(),
              [](const ByteRun& a, const ByteRun& b) { return a.address < b.address; });
    Image image;
    for (ByteRun& piece : sorted) {
        if (!image.runs.empty()) {
            ByteRun& last = image.runs.back();
            if (last.address + static_cast<int>(last.bytes.size()) == piece.address) {
                last.bytes.insert(last.bytes.end(), piece.bytes.begin(), piece.bytes.end());
                continue;
            }
        }
        image.runs.push_back(std::move(piece));
    }
    return image;
}

std::vector<std::string_view> TextLines(std::string_view content) {
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    return lines;
}
