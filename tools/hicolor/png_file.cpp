#include "png_file.h"

#include <zlib.h>

#include <string_view>

namespace hicolor {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// One chunk: length, type, data, and the CRC of type and data.
void Chunk(std::vector<std::uint8_t>& out, std::string_view type, const std::vector<std::uint8_t>& data) {
    Put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    Put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const afx::Image& image, int scale) {
    if (!afx::IsValid(image) || scale < 1 || scale > 64) return {};
    const int transparent = static_cast<int>(image.palette.size());  // at most 256 + 1 entries
    const bool masked = !image.mask.empty();
    if (masked && transparent > 255) return {};
    const std::uint32_t width = static_cast<std::uint32_t>(image.width * scale);
    const std::uint32_t height = static_cast<std::uint32_t>(image.height * scale);

    std::vector<std::uint8_t> header;
    Put32(header, width);
    Put32(header, height);
    header.insert(header.end(), {8, 3, 0, 0, 0});  // 8 bits, palette, deflate, no filter set, no interlace

    std::vector<std::uint8_t> palette, alpha;
    for (std::uint32_t rgb : image.palette) {
        palette.insert(palette.end(), {static_cast<std::uint8_t>(rgb >> 16),
                                       static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)});
        alpha.push_back(255);
    }
    if (masked) {
        palette.insert(palette.end(), {0, 0, 0});
        alpha.push_back(0);
    }

    // Scanlines, each with filter type 0 (none) in front.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height) * (width + 1));
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y / scale) * image.width + x / scale;
            raw.push_back(masked && image.mask[i] ? static_cast<std::uint8_t>(transparent) : image.pixels[i]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(out, "IHDR", header);
    Chunk(out, "PLTE", palette);
    if (masked) Chunk(out, "tRNS", alpha);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", {});
    return out;
}

const afx::Image* PickSource(std::span<const afx::Image> images, int size) {
    const afx::Image* best = nullptr;
    for (const afx::Image& image : images)
        if (image.width == image.height && image.width > 0 && size % image.width == 0 &&
            (!best || image.width > best->width))
            best = &image;
    return best;
}

}  // namespace hicolor
