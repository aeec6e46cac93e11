// The PCX file, all numbers little-endian:
//
//   0  manufacturer   0x0A
//   1  version        0, 2, 3 (no palette: the default one), 4, 5
//   2  encoding       1 run-length encoded (0, stored as it is, is read too)
//   3  bitsPerPixel   bits of one pixel in one plane: 1, 2, 4 or 8
//   4  xMin, yMin, xMax, yMax (16 each): the picture spans xMin..xMax, yMin..yMax inclusive
//  12  resolution (2 x 16), not used for showing
//  16  palette        16 colours of R, G, B bytes
//  64  reserved
//  65  planes         colour planes
//  66  bytesPerLine (16)  bytes of one line of one plane, padding included
//  68  paletteInfo (16)   1 colour, 2 greyscale
//  70  screen size (2 x 16), filler up to 128
// 128  the lines, top-down; each line holds its planes one after the other, each plane
//      bytesPerLine bytes
//
// Encoded data is a stream of bytes: one whose two high bits are set repeats the next byte
// (its low six bits) times, any other is itself. A run may pass from one line into the next.
//
// A picture of 8 bits in one plane keeps 256 colours of R, G, B bytes at the very end of the
// file, after a byte 0x0C.

#include "preview/pcx.h"

#include <algorithm>
#include <array>

#include "preview/imagebytes.h"

namespace quillomar {

using namespace image;

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kManufacturerOffset = 0;
constexpr std::size_t kVersionOffset = 1;
constexpr std::size_t kEncodingOffset = 2;
constexpr std::size_t kBitsPerPixelOffset = 3;
constexpr std::size_t kXMinOffset = 4;
constexpr std::size_t kYMinOffset = 6;
constexpr std::size_t kXMaxOffset = 8;
constexpr std::size_t kYMaxOffset = 10;
constexpr std::size_t kPaletteOffset = 16;
constexpr std::size_t kPlanesOffset = 65;
constexpr std::size_t kBytesPerLineOffset = 66;
constexpr std::size_t kPaletteInfoOffset = 68;

constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kVersionWithoutPalette = 3;
constexpr std::uint8_t kEncodingNone = 0;
constexpr std::uint8_t kEncodingRunLength = 1;
constexpr std::uint16_t kPaletteGreyscale = 2;

constexpr std::uint8_t kRunMark = 0xC0;
constexpr std::size_t kMaxRun = 0x3F;

constexpr std::uint8_t kLongPaletteMark = 0x0C;
constexpr std::size_t kLongPaletteSize = 1 + 256 * 3;

using Palette = std::array<std::uint32_t, 256>;

// The 16 colours a version 3 file, which has no palette of its own, is shown in.
constexpr std::array<std::uint32_t, 16> kDefaultPalette = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
};

struct Header {
    std::uint8_t version = 0;
    std::uint8_t encoding = 0;
    std::uint8_t bitsPerPixel = 0;
    std::uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::uint8_t planes = 0;
    std::uint16_t bytesPerLine = 0;
    std::uint16_t paletteInfo = 0;

    std::uint32_t width() const { return std::uint32_t{xMax} - xMin + 1; }
    std::uint32_t height() const { return std::uint32_t{yMax} - yMin + 1; }
    std::size_t lineBytes() const { return std::size_t{planes} * bytesPerLine; }
    // A pixel's bits over all planes.
    unsigned depth() const { return unsigned{bitsPerPixel} * planes; }
};

Header readHeader(std::span<const std::byte> file) {
    Header h;
    h.version = u8(file, kVersionOffset);
    h.encoding = u8(file, kEncodingOffset);
    h.bitsPerPixel = u8(file, kBitsPerPixelOffset);
    h.xMin = le16(file, kXMinOffset);
    h.yMin = le16(file, kYMinOffset);
    h.xMax = le16(file, kXMaxOffset);
    h.yMax = le16(file, kYMaxOffset);
    h.planes = u8(file, kPlanesOffset);
    h.bytesPerLine = le16(file, kBytesPerLineOffset);
    h.paletteInfo = le16(file, kPaletteInfoOffset);
    return h;
}

// Pixels of 1, 2 or 4 bits over up to 4 planes (a colour index of 4 bits at most), 8 bits in one
// plane (index), three (R, G, B) or four (R, G, B, A).
bool layoutKnown(const Header& h) {
    switch (h.bitsPerPixel) {
        case 1:
            return h.planes >= 1 && h.planes <= 4;
        case 2:
        case 4:
            return h.planes == 1;
        case 8:
            return h.planes == 1 || h.planes == 3 || h.planes == 4;
        default:
            return false;
    }
}

std::optional<Failure> checkHeader(std::span<const std::byte> file, const Header& h) {
    if (u8(file, kManufacturerOffset) != kManufacturer)
        return refusal(EINVAL, "this is no PCX file", kManufacturerOffset);
    if (h.encoding != kEncodingRunLength && h.encoding != kEncodingNone)
        return refusal(ENOTSUP, "encoding " + std::to_string(h.encoding) + " is not shown", kEncodingOffset);
    if (!layoutKnown(h))
        return refusal(
            ENOTSUP, std::to_string(h.planes) + " planes of " + std::to_string(h.bitsPerPixel) + " bits are not shown",
            kBitsPerPixelOffset);
    if (h.xMax < h.xMin || h.yMax < h.yMin) return refusal(EINVAL, "the picture has no pixels", kXMinOffset);
    if (!imageSizeAllowed(h.width(), h.height())) return tooLarge(h.width(), h.height());
    if (std::uint64_t{h.bytesPerLine} * 8 < std::uint64_t{h.width()} * h.bitsPerPixel)
        return refusal(EINVAL, "a line holds fewer bytes than its pixels need", kBytesPerLineOffset);
    return std::nullopt;
}

// The colour of the R, G, B bytes at `at`, opaque.
std::uint32_t rgbAt(std::span<const std::byte> file, std::size_t at) {
    return kOpaque | std::uint32_t{u8(file, at)} << 16 | std::uint32_t{u8(file, at + 1)} << 8 | u8(file, at + 2);
}

Palette headerPalette(std::span<const std::byte> file, const Header& h) {
    Palette palette{};
    for (std::size_t i = 0; i < 16; ++i) palette[i] = rgbAt(file, kPaletteOffset + 3 * i);
    if (h.depth() == 1) {
        // Two colours: the header's first two when it sets them apart, else black and white.
        if (h.version == kVersionWithoutPalette || palette[0] == palette[1]) {
            palette[0] = kOpaque;
            palette[1] = kOpaque | 0xFFFFFF;
        }
    } else if (h.version == kVersionWithoutPalette) {
        for (std::size_t i = 0; i < kDefaultPalette.size(); ++i) palette[i] = kOpaque | kDefaultPalette[i];
    }
    return palette;
}

bool endsInLongPalette(std::span<const std::byte> file) {
    return file.size() >= kHeaderSize + kLongPaletteSize &&
           u8(file, file.size() - kLongPaletteSize) == kLongPaletteMark;
}

// The 256 colours at the end of the file; a greyscale picture without them is shown in greys.
Result<Palette> longPalette(std::span<const std::byte> file, const Header& h) {
    Palette palette{};
    if (endsInLongPalette(file)) {
        const std::size_t start = file.size() - kLongPaletteSize + 1;
        for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = rgbAt(file, start + 3 * i);
        return palette;
    }
    if (h.paletteInfo != kPaletteGreyscale) return refusal(EINVAL, "the 256-colour palette is missing", file.size());
    for (std::uint32_t i = 0; i < palette.size(); ++i) palette[i] = kOpaque | i << 16 | i << 8 | i;
    return palette;
}

// Reads the encoded stream one line (all planes) at a time; a run may carry over into the next.
class LineReader {
public:
    LineReader(std::span<const std::byte> data, bool runLength) : data_(data), runLength_(runLength) {}

    // false when the data ends before the line is full.
    bool read(std::span<std::uint8_t> line) {
        std::size_t filled = 0;
        while (filled < line.size()) {
            if (pending_ > 0) {
                const std::size_t n = std::min(pending_, line.size() - filled);
                std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(filled), n, value_);
                filled += n;
                pending_ -= n;
                continue;
            }
            if (at_ >= data_.size()) return false;
            const std::uint8_t byte = u8(data_, at_++);
            if (!runLength_ || (byte & kRunMark) != kRunMark) {
                line[filled++] = byte;
                continue;
            }
            if (at_ >= data_.size()) return false;
            pending_ = byte & kMaxRun;
            value_ = u8(data_, at_++);
        }
        return true;
    }

    std::size_t offset() const { return at_; }

private:
    std::span<const std::byte> data_;
    bool runLength_;
    std::size_t at_ = 0;
    std::size_t pending_ = 0;
    std::uint8_t value_ = 0;
};

// One decoded line: its planes, each bytesPerLine bytes, into row.
void convertLine(const Header& h, std::span<const std::uint8_t> line, const Palette& palette, std::uint32_t* row) {
    const std::size_t width = h.width();
    auto plane = [&](std::size_t p) { return line.subspan(p * h.bytesPerLine, h.bytesPerLine); };
    if (h.bitsPerPixel == 8) {
        if (h.planes == 1) {
            for (std::size_t x = 0; x < width; ++x) row[x] = palette[line[x]];
            return;
        }
        const std::span<const std::uint8_t> red = plane(0), green = plane(1), blue = plane(2);
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t alpha = h.planes == 4 ? plane(3)[x] : 0xFF;
            row[x] = alpha << 24 | std::uint32_t{red[x]} << 16 | std::uint32_t{green[x]} << 8 | blue[x];
        }
        return;
    }
    // Indexed pixels of 1, 2 or 4 bits, high bits first; plane p gives bits p * bitsPerPixel up.
    const unsigned bits = h.bitsPerPixel;
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t x = 0; x < width; ++x) {
        const std::size_t bit = x * bits;
        const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
        unsigned index = 0;
        for (std::size_t p = 0; p < h.planes; ++p) index |= ((plane(p)[bit / 8] >> shift) & mask) << (p * bits);
        row[x] = palette[index];
    }
}

}  // namespace

Result<Image> decodePcx(std::span<const std::byte> file) {
    if (file.size() < kHeaderSize) return cutShort(file.size());
    const Header h = readHeader(file);
    if (std::optional<Failure> refused = checkHeader(file, h)) return *refused;

    Palette palette{};
    std::span<const std::byte> data = file.subspan(kHeaderSize);
    if (h.depth() == 8) {
        Result<Palette> found = longPalette(file, h);
        if (!found) return found.failure();
        palette = *found;
        if (endsInLongPalette(file)) data = data.first(data.size() - kLongPaletteSize);
    } else if (h.depth() <= 4) {
        palette = headerPalette(file, h);
    }

    // A byte of encoded data gives 63 bytes at most: data too short for the picture is refused
    // before its pixels are allocated.
    const std::uint64_t needed = std::uint64_t{h.height()} * h.lineBytes();
    const std::uint64_t perByte = h.encoding == kEncodingRunLength ? kMaxRun : 1;
    if (data.size() * perByte < needed) return cutShort(file.size());

    Image picture{h.width(), h.height(), {}};
    picture.pixels.resize(std::size_t{picture.width} * picture.height);
    std::vector<std::uint8_t> line(h.lineBytes());
    LineReader reader(data, h.encoding == kEncodingRunLength);
    for (std::size_t y = 0; y < picture.height; ++y) {
        if (!reader.read(line)) return cutShort(kHeaderSize + reader.offset());
        convertLine(h, line, palette, picture.pixels.data() + y * picture.width);
    }
    return picture;
}

}  // namespace quillomar
