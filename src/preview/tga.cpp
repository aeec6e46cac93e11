// The TGA file, all numbers little-endian:
//
//   0  idLength       bytes of image ID after the header
//   1  colorMapType   0 no colour map, 1 a colour map follows the image ID
//   2  imageType      1 colour-mapped, 2 true colour, 3 greyscale; 9, 10, 11 the same run-length encoded
//   3  mapFirst (16)  index of the map's first entry
//   5  mapLength (16) entries in the map
//   7  mapEntryBits   15, 16, 24 or 32
//   8  xOrigin, yOrigin (16 each), not used for showing
//  12  width, height (16 each)
//  16  pixelBits      8, 15, 16, 24 or 32
//  17  descriptor     bits 0-3 attribute (alpha) bits per pixel, bit 4 right-to-left,
//                     bit 5 top-to-bottom, bits 6-7 interleaving (none here)
//  18  image ID, colour map, pixels (a row of width pixels per line, lines bottom-up unless
//      bit 5 says otherwise)
//
// A pixel of 15 or 16 bits is A RRRRR GGGGG BBBBB, one of 24 bits B, G, R, of 32 bits B, G, R, A:
// read as a little-endian number of 32 bits, the last is exactly 0xAARRGGBB.
//
// Run-length encoded pixels come in packets: a byte whose high bit marks a run of one pixel value
// repeated (low 7 bits + 1) times, else (low 7 bits + 1) raw pixel values follow. Packets may pass
// from one line to the next but not past the last pixel.
//
// A file of the format's second version ends in a 26-byte footer: the extension area's offset
// (32), the developer area's (32) and "TRUEVISION-XFILE.\0". The extension area's byte 494 says
// what the attribute bits hold: 0 nothing, 1 and 2 nothing of use, 3 alpha, 4 premultiplied alpha.

#include "preview/tga.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "preview/imagebytes.h"

namespace quillomar {

using namespace image;

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kIdLengthOffset = 0;
constexpr std::size_t kColorMapTypeOffset = 1;
constexpr std::size_t kImageTypeOffset = 2;
constexpr std::size_t kMapFirstOffset = 3;
constexpr std::size_t kMapLengthOffset = 5;
constexpr std::size_t kMapEntryBitsOffset = 7;
constexpr std::size_t kWidthOffset = 12;
constexpr std::size_t kHeightOffset = 14;
constexpr std::size_t kPixelBitsOffset = 16;
constexpr std::size_t kDescriptorOffset = 17;

constexpr std::uint8_t kDescriptorAttributeBits = 0x0F;
constexpr std::uint8_t kDescriptorRightToLeft = 0x10;
constexpr std::uint8_t kDescriptorTopDown = 0x20;
constexpr std::uint8_t kDescriptorInterleave = 0xC0;

constexpr std::size_t kFooterSize = 26;
constexpr std::size_t kFooterExtensionOffset = 0;
constexpr std::size_t kFooterSignatureOffset = 8;
constexpr std::string_view kFooterSignature{"TRUEVISION-XFILE.\0", 18};
constexpr std::size_t kExtensionAreaSize = 495;
constexpr std::size_t kExtensionAttributesTypeOffset = 494;

constexpr std::uint8_t kRunPacket = 0x80;
constexpr std::size_t kMaxPacketPixels = 128;

enum class ColourKind { Mapped, TrueColour, Grey };

// What the attribute bits of the pixels mean.
enum class Alpha { None, Straight, Premultiplied };

struct Header {
    std::uint8_t idLength = 0;
    std::uint8_t colorMapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelBits = 0;
    std::uint8_t descriptor = 0;

    bool runLength() const { return imageType >= 9; }
    ColourKind kind() const {
        switch (imageType & 3) {
            case 1:
                return ColourKind::Mapped;
            case 2:
                return ColourKind::TrueColour;
            default:
                return ColourKind::Grey;
        }
    }
    std::size_t pixelBytes() const { return (pixelBits + 7u) / 8; }
    std::size_t mapEntryBytes() const { return (mapEntryBits + 7u) / 8; }
    unsigned attributeBits() const { return descriptor & kDescriptorAttributeBits; }
};

Header readHeader(std::span<const std::byte> file) {
    Header h;
    h.idLength = u8(file, kIdLengthOffset);
    h.colorMapType = u8(file, kColorMapTypeOffset);
    h.imageType = u8(file, kImageTypeOffset);
    h.mapFirst = le16(file, kMapFirstOffset);
    h.mapLength = le16(file, kMapLengthOffset);
    h.mapEntryBits = u8(file, kMapEntryBitsOffset);
    h.width = le16(file, kWidthOffset);
    h.height = le16(file, kHeightOffset);
    h.pixelBits = u8(file, kPixelBitsOffset);
    h.descriptor = u8(file, kDescriptorOffset);
    return h;
}

// The colour of a stored value of bits bits, true colour or a colour map entry; alpha as stored
// where the value holds it (hasAlpha), opaque otherwise.
std::uint32_t colourOf(std::uint32_t value, unsigned bits, bool hasAlpha) {
    switch (bits) {
        case 15:
        case 16: {
            const std::uint32_t colour =
                expand5((value >> 10) & 0x1F) << 16 | expand5((value >> 5) & 0x1F) << 8 | expand5(value & 0x1F);
            return colour | (!hasAlpha || (value & 0x8000) != 0 ? kOpaque : 0);
        }
        case 24:
            return value | kOpaque;
        default:
            return hasAlpha ? value : value | kOpaque;
    }
}

// Whether a stored value of bits bits carries alpha: a 32-bit one always, a 16-bit one when the
// descriptor counts an attribute bit.
bool valueHasAlpha(unsigned bits, unsigned attributeBits) { return bits == 32 || (bits == 16 && attributeBits > 0); }

// The extension area's word on the attribute bits, when the file has the footer and the area.
std::optional<std::uint8_t> attributesType(std::span<const std::byte> file) {
    if (file.size() < kHeaderSize + kFooterSize) return std::nullopt;
    const std::span<const std::byte> footer = file.last(kFooterSize);
    const std::span<const std::byte> signature = footer.subspan(kFooterSignatureOffset);
    if (!std::equal(signature.begin(), signature.end(), kFooterSignature.begin(),
                    [](std::byte b, char c) { return static_cast<char>(b) == c; })) {
        return std::nullopt;
    }
    const std::uint64_t area = le32(footer, kFooterExtensionOffset);
    if (area < kHeaderSize || area + kExtensionAreaSize > file.size() - kFooterSize) return std::nullopt;
    return u8(file, static_cast<std::size_t>(area) + kExtensionAttributesTypeOffset);
}

// Turns stored values into colours: through the colour map, or directly.
class Converter {
public:
    Converter(const Header& header, std::vector<std::uint32_t> map) : header_(header), map_(std::move(map)) {}

    // The colour of one stored pixel; nullopt for a colour index outside the map.
    std::optional<std::uint32_t> operator()(std::uint32_t value) const {
        switch (header_.kind()) {
            case ColourKind::Mapped:
                if (value < header_.mapFirst || value - header_.mapFirst >= map_.size()) return std::nullopt;
                return map_[value - header_.mapFirst];
            case ColourKind::TrueColour:
                return colourOf(value, header_.pixelBits, valueHasAlpha(header_.pixelBits, header_.attributeBits()));
            case ColourKind::Grey:
                break;
        }
        const std::uint32_t grey = value & 0xFF;
        const std::uint32_t alpha = header_.pixelBits == 16 ? (value >> 8) & 0xFF : 0xFF;
        return alpha << 24 | grey << 16 | grey << 8 | grey;
    }

private:
    const Header& header_;
    std::vector<std::uint32_t> map_;
};

std::uint32_t readValue(std::span<const std::byte> file, std::size_t at, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(u8(file, at + i)) << (8 * i);
    return value;
}

Failure badIndex(std::size_t at) { return refusal(EINVAL, "a colour index lies outside the colour map", at); }

// The pixels in stored order, from data at offset `at`.
Result<std::vector<std::uint32_t>> readRawPixels(std::span<const std::byte> file, std::size_t at, const Header& h,
                                                 const Converter& convert) {
    const std::size_t count = std::size_t{h.width} * h.height;
    const std::size_t bytes = h.pixelBytes();
    if ((file.size() - at) / bytes < count) return cutShort(file.size());
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i, at += bytes) {
        const std::optional<std::uint32_t> colour = convert(readValue(file, at, bytes));
        if (!colour) return badIndex(at);
        pixels[i] = *colour;
    }
    return pixels;
}

Result<std::vector<std::uint32_t>> readRunLengthPixels(std::span<const std::byte> file, std::size_t at, const Header& h,
                                                       const Converter& convert) {
    const std::size_t count = std::size_t{h.width} * h.height;
    const std::size_t bytes = h.pixelBytes();
    // Each packet costs a byte and a pixel value at least and gives at most 128 pixels: data too
    // short for the picture is refused before its pixels are allocated.
    if ((file.size() - at) / (1 + bytes) < (count + kMaxPacketPixels - 1) / kMaxPacketPixels)
        return cutShort(file.size());
    std::vector<std::uint32_t> pixels(count);
    std::size_t done = 0;
    while (done < count) {
        if (at >= file.size()) return cutShort(at);
        const std::uint8_t packet = u8(file, at);
        const std::size_t length = (packet & 0x7Fu) + 1;
        if (length > count - done) return refusal(EINVAL, "a packet passes the end of the picture", at);
        ++at;
        const bool run = (packet & kRunPacket) != 0;
        const std::size_t stored = run ? bytes : length * bytes;
        if (file.size() - at < stored) return cutShort(file.size());
        if (run) {
            const std::optional<std::uint32_t> colour = convert(readValue(file, at, bytes));
            if (!colour) return badIndex(at);
            std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(done), length, *colour);
            done += length;
            at += bytes;
        } else {
            for (std::size_t i = 0; i < length; ++i, at += bytes) {
                const std::optional<std::uint32_t> colour = convert(readValue(file, at, bytes));
                if (!colour) return badIndex(at);
                pixels[done++] = *colour;
            }
        }
    }
    return pixels;
}

// The header's refusals: what cannot be decoded, or no picture at all.
std::optional<Failure> checkHeader(const Header& h) {
    switch (h.imageType) {
        case 1:
        case 2:
        case 3:
        case 9:
        case 10:
        case 11:
            break;
        case 0:
            return refusal(EINVAL, "the file holds no picture", kImageTypeOffset);
        default:
            return refusal(ENOTSUP, "image type " + std::to_string(h.imageType) + " is not shown", kImageTypeOffset);
    }
    if (h.colorMapType > 1) return refusal(EINVAL, "unknown colour map type", kColorMapTypeOffset);
    if ((h.descriptor & kDescriptorInterleave) != 0)
        return refusal(ENOTSUP, "interleaved lines are not shown", kDescriptorOffset);

    bool depthKnown = false;
    switch (h.kind()) {
        case ColourKind::Mapped:
            if (h.colorMapType != 1)
                return refusal(EINVAL, "a colour-mapped picture has no colour map", kColorMapTypeOffset);
            if (h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
                return refusal(ENOTSUP,
                               "colour map entries of " + std::to_string(h.mapEntryBits) + " bits are not shown",
                               kMapEntryBitsOffset);
            depthKnown = h.pixelBits == 8 || h.pixelBits == 16;
            break;
        case ColourKind::TrueColour:
            depthKnown = h.pixelBits == 15 || h.pixelBits == 16 || h.pixelBits == 24 || h.pixelBits == 32;
            break;
        case ColourKind::Grey:
            depthKnown = h.pixelBits == 8 || h.pixelBits == 16;
            break;
    }
    if (!depthKnown)
        return refusal(ENOTSUP, std::to_string(h.pixelBits) + " bits per pixel are not shown", kPixelBitsOffset);
    if (h.width == 0 || h.height == 0) return refusal(EINVAL, "the picture has no pixels", kWidthOffset);
    if (!imageSizeAllowed(h.width, h.height)) return tooLarge(h.width, h.height);
    return std::nullopt;
}

// Pixels in stored order turned into rows top-down, left to right.
void orient(Image& picture, std::uint8_t descriptor) {
    const std::size_t width = picture.width;
    auto row = [&](std::size_t y) { return picture.pixels.begin() + static_cast<std::ptrdiff_t>(y * width); };
    if ((descriptor & kDescriptorTopDown) == 0) {
        for (std::size_t top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(row(top), row(top) + static_cast<std::ptrdiff_t>(width), row(bottom));
    }
    if ((descriptor & kDescriptorRightToLeft) != 0) {
        for (std::size_t y = 0; y < picture.height; ++y)
            std::reverse(row(y), row(y) + static_cast<std::ptrdiff_t>(width));
    }
}

// Applies what the alpha means. An alpha that is zero everywhere is taken for attribute bits
// nobody filled in, and shown opaque rather than as an empty picture.
void settleAlpha(std::vector<std::uint32_t>& pixels, Alpha alpha) {
    const bool allClear = std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return (p & kOpaque) == 0; });
    if (alpha == Alpha::None || allClear) {
        for (std::uint32_t& p : pixels) p |= kOpaque;
        return;
    }
    if (alpha == Alpha::Premultiplied) {
        for (std::uint32_t& p : pixels) {
            const std::uint32_t a = p >> 24;
            if (a == 0 || a == 0xFF) continue;
            auto unmultiply = [a](std::uint32_t c) { return std::min<std::uint32_t>(0xFF, (c * 0xFF + a / 2) / a); };
            p = a << 24 | unmultiply((p >> 16) & 0xFF) << 16 | unmultiply((p >> 8) & 0xFF) << 8 | unmultiply(p & 0xFF);
        }
    }
}

Alpha alphaOf(const Header& h, std::span<const std::byte> file) {
    bool stored = false;
    switch (h.kind()) {
        case ColourKind::Mapped:
            stored = valueHasAlpha(h.mapEntryBits, h.attributeBits());
            break;
        case ColourKind::TrueColour:
            stored = valueHasAlpha(h.pixelBits, h.attributeBits());
            break;
        case ColourKind::Grey:
            stored = h.pixelBits == 16;
            break;
    }
    if (!stored) return Alpha::None;
    const std::optional<std::uint8_t> type = attributesType(file);
    if (!type || *type == 3) return Alpha::Straight;
    return *type == 4 ? Alpha::Premultiplied : Alpha::None;
}

}  // namespace

Result<Image> decodeTga(std::span<const std::byte> file) {
    if (file.size() < kHeaderSize) return cutShort(file.size());
    const Header h = readHeader(file);
    if (std::optional<Failure> refused = checkHeader(h)) return *refused;

    std::size_t at = kHeaderSize + h.idLength;
    if (at > file.size()) return cutShort(file.size());
    std::vector<std::uint32_t> map;
    if (h.colorMapType == 1) {
        const std::size_t mapBytes = std::size_t{h.mapLength} * h.mapEntryBytes();
        if (file.size() - at < mapBytes) return cutShort(file.size());
        if (h.kind() == ColourKind::Mapped) {
            const bool hasAlpha = valueHasAlpha(h.mapEntryBits, h.attributeBits());
            map.reserve(h.mapLength);
            for (std::size_t i = 0; i < h.mapLength; ++i) {
                const std::uint32_t value = readValue(file, at + i * h.mapEntryBytes(), h.mapEntryBytes());
                map.push_back(colourOf(value, h.mapEntryBits, hasAlpha));
            }
        }
        at += mapBytes;
    }

    const Converter convert(h, std::move(map));
    Result<std::vector<std::uint32_t>> pixels =
        h.runLength() ? readRunLengthPixels(file, at, h, convert) : readRawPixels(file, at, h, convert);
    if (!pixels) return pixels.failure();

    Image picture{h.width, h.height, std::move(*pixels)};
    settleAlpha(picture.pixels, alphaOf(h, file));
    orient(picture, h.descriptor);
    return picture;
}

}  // namespace quillomar
