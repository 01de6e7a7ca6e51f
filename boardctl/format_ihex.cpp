// Intel HEX: ":LLAAAATT" + data + checksum a record. Written as 16-byte data records and the
// end-of-file record; read with its checksums checked and every address within the EEPROM.
#include <cstdint>
#include <cstdio>

#include "hex_text.h"
#include "image.h"

namespace {

constexpr int kRecordBytes = 16;
constexpr int kData = 0x00;
constexpr int kEndOfFile = 0x01;
constexpr int kSegmentAddress = 0x02;
constexpr int kStartSegment = 0x03;
constexpr int kLinearAddress = 0x04;
constexpr int kStartLinear = 0x05;

std::string Record(int type, int address, const std::uint8_t* data, int count) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", count, address & 0xFFFF, type);
    std::string text = head;
    unsigned sum = static_cast<unsigned>(count + (address >> 8) + (address & 0xFF) + type);
    for (int i = 0; i < count; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", data[i]);
        text += pair;
        sum += data[i];
    }
    char check[8];
    std::snprintf(check, sizeof check, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + check;
}

}  // namespace

std::string RenderIhex(int start, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += kRecordBytes) {
        const int count = static_cast<int>(std::min<std::size_t>(kRecordBytes, bytes.size() - at));
        text += Record(kData, start + static_cast<int>(at), bytes.data() + at, count);
    }
    return text + Record(kEndOfFile, 0, nullptr, 0);
}

bool ParseIhex(std::string_view content, ImageBuilder& image, ImageError& error) {
    const std::vector<std::string_view> lines = TextLines(content);
    // From extended address records: up to 0xFFFF << 16, past what a 32-bit long holds.
    std::int64_t base = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        std::string line(lines[i]);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        if (line[0] != ':') {
            error = {lineNumber, "a record starts with ':'"};
            return false;
        }
        const std::string digits = line.substr(1);
        if (digits.size() % 2 != 0 || digits.size() < 10) {
            error = {lineNumber, "a record is an even number of at least 10 hex digits after ':'"};
            return false;
        }
        std::vector<std::uint8_t> record(digits.size() / 2);
        if (ParseHexByteText(digits.c_str(), record.data(), static_cast<int>(record.size()), 0) != 0) {
            error = {lineNumber, "a character that is no hex digit"};
            return false;
        }
        const int count = record[0];
        if (static_cast<int>(record.size()) != count + 5) {
            error = {lineNumber, "the record says " + std::to_string(count) + " data bytes but holds " +
                                     std::to_string(static_cast<int>(record.size()) - 5)};
            return false;
        }
        unsigned sum = 0;
        for (std::uint8_t b : record) sum += b;
        if ((sum & 0xFF) != 0) {
            error = {lineNumber, "bad checksum"};
            return false;
        }
        const int address = record[1] << 8 | record[2];
        const int type = record[3];
        const std::uint8_t* data = record.data() + 4;
        switch (type) {
            case kData: {
                std::string why;
                if (!image.Add(
                        static_cast<int>(std::min<std::int64_t>(base + address, std::int64_t{1} << 30)),
                        std::vector<std::uint8_t>(data, data + count), why)) {
                    error = {lineNumber, why};
                    return false;
                }
                break;
            }
            case kEndOfFile:
                return true;
            case kSegmentAddress:
            case kLinearAddress:
                if (count != 2) {
                    error = {lineNumber, "an extended address record holds 2 bytes"};
                    return false;
                }
                base = static_cast<std::int64_t>(data[0] << 8 | data[1])
                       << (type == kSegmentAddress ? 4 : 16);
                break;
            case kStartSegment:
            case kStartLinear:
                break;  // a start address means nothing to an EEPROM
            default:
                error = {lineNumber, "unknown record type " + std::to_string(type)};
                return false;
        }
    }
    error = {static_cast<int>(lines.size()), "no end-of-file record (:00000001FF)"};
    return false;
}
