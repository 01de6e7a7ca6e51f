#include "image_files.h"

#include <algorithm>

namespace win32res {
namespace {

class Bytes {
  public:
    void U8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void U16(unsigned v) {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void PatchU32(size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    size_t Size() const { return out_.size(); }
    void Pad4From(size_t rowStart) {
        while ((out_.size() - rowStart) % 4) U8(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

  private:
    std::vector<std::uint8_t> out_;
};

void InfoHeader(Bytes& b, int width, int height, int bits, std::uint32_t imageSize, std::uint32_t colours) {
    b.U32(40);
    b.U32(static_cast<std::uint32_t>(width));
    b.U32(static_cast<std::uint32_t>(height));
    b.U16(1);
    b.U16(static_cast<unsigned>(bits));
    b.U32(0);  // BI_RGB
    b.U32(imageSize);
    b.U32(2835);  // 72 dpi
    b.U32(2835);
    b.U32(colours);
    b.U32(0);
}

void Palette(Bytes& b, const std::vector<std::uint32_t>& palette, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        const std::uint32_t rgb = i < palette.size() ? palette[i] : 0;
        b.U8(rgb & 0xFF);  // RGBQUAD: blue, green, red, reserved
        b.U8((rgb >> 8) & 0xFF);
        b.U8((rgb >> 16) & 0xFF);
        b.U8(0);
    }
}

// Palette indices, bottom row first, each row padded to 4 bytes.
void IndexRows(Bytes& b, int width, int height, int bits, const std::vector<std::uint8_t>& indices) {
    for (int y = height - 1; y >= 0; --y) {
        const size_t start = b.Size();
        if (bits == 8) {
            for (int x = 0; x < width; ++x) b.U8(indices[static_cast<size_t>(y * width + x)]);
        } else {
            for (int x = 0; x < width; x += 2) {
                const unsigned hi = indices[static_cast<size_t>(y * width + x)];
                const unsigned lo = x + 1 < width ? indices[static_cast<size_t>(y * width + x + 1)] : 0;
                b.U8((hi << 4) | lo);
            }
        }
        b.Pad4From(start);
    }
}

std::uint32_t RowBytes(int width, int bits) {
    return static_cast<std::uint32_t>(((width * bits + 31) / 32) * 4);
}

}  // namespace

std::vector<std::uint8_t> EncodeIcon(std::span<const afx::Image> images) {
    if (images.empty() || images.size() > 255) return {};
    struct Prepared {
        const afx::Image* image;
        std::vector<std::uint32_t> palette;
        std::vector<std::uint8_t> indices;
    };
    std::vector<Prepared> prepared;
    for (const afx::Image& image : images) {
        if (!afx::IsValid(image) || image.width > 256 || image.height > 256) return {};
        Prepared p{
            &image, {image.palette.begin(), image.palette.end()}, {image.pixels.begin(), image.pixels.end()}};
        if (!image.mask.empty()) {
            auto black = std::find(p.palette.begin(), p.palette.end(), 0u);
            if (black == p.palette.end()) {
                if (p.palette.size() >= (size_t{1} << image.bitsPerPixel)) return {};
                p.palette.push_back(0);
                black = p.palette.end() - 1;
            }
            const auto blackIndex = static_cast<std::uint8_t>(black - p.palette.begin());
            for (size_t i = 0; i < p.indices.size(); ++i)
                if (image.mask[i]) p.indices[i] = blackIndex;
        }
        prepared.push_back(std::move(p));
    }

    Bytes b;
    b.U16(0);
    b.U16(1);  // icon
    b.U16(static_cast<unsigned>(prepared.size()));
    std::vector<size_t> patch;
    for (const Prepared& p : prepared) {
        const afx::Image& im = *p.image;
        b.U8(im.width == 256 ? 0 : static_cast<unsigned>(im.width));
        b.U8(im.height == 256 ? 0 : static_cast<unsigned>(im.height));
        b.U8(im.bitsPerPixel == 4 ? 16 : 0);
        b.U8(0);
        b.U16(1);
        b.U16(static_cast<unsigned>(im.bitsPerPixel));
        patch.push_back(b.Size());
        b.U32(0);  // bytes in the image, patched below
        b.U32(0);  // offset, patched below
    }
    for (size_t n = 0; n < prepared.size(); ++n) {
        const Prepared& p = prepared[n];
        const afx::Image& im = *p.image;
        const size_t start = b.Size();
        const std::uint32_t xorSize =
            RowBytes(im.width, im.bitsPerPixel) * static_cast<std::uint32_t>(im.height);
        const std::uint32_t andSize = RowBytes(im.width, 1) * static_cast<std::uint32_t>(im.height);
        InfoHeader(b, im.width, im.height * 2, im.bitsPerPixel, xorSize + andSize, 0);
        Palette(b, p.palette, size_t{1} << im.bitsPerPixel);
        IndexRows(b, im.width, im.height, im.bitsPerPixel, p.indices);
        for (int y = im.height - 1; y >= 0; --y) {
            const size_t row = b.Size();
            for (int x = 0; x < im.width; x += 8) {
                unsigned bits = 0;
                for (int k = 0; k < 8 && x + k < im.width; ++k) {
                    const size_t i = static_cast<size_t>(y * im.width + x + k);
                    if (!im.mask.empty() && im.mask[i]) bits |= 0x80u >> k;
                }
                b.U8(bits);
            }
            b.Pad4From(row);
        }
        b.PatchU32(patch[n], static_cast<std::uint32_t>(b.Size() - start));
        b.PatchU32(patch[n] + 4, static_cast<std::uint32_t>(start));
    }
    return b.Take();
}

std::vector<std::uint8_t> EncodeBitmap(const afx::Image& image) {
    if (!afx::IsValid(image)) return {};
    const std::uint32_t rows =
        RowBytes(image.width, image.bitsPerPixel) * static_cast<std::uint32_t>(image.height);
    const auto colours = static_cast<std::uint32_t>(image.palette.size());
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    Bytes b;
    b.U8('B');
    b.U8('M');
    b.U32(offset + rows);
    b.U32(0);
    b.U32(offset);
    InfoHeader(b, image.width, image.height, image.bitsPerPixel, rows, colours);
    Palette(b, {image.palette.begin(), image.palette.end()}, colours);
    IndexRows(b, image.width, image.height, image.bitsPerPixel, {image.pixels.begin(), image.pixels.end()});
    return b.Take();
}

}  // namespace win32res
