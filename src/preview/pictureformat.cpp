#include "preview/pictureformat.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/asciicase.h"
#include "preview/imagebytes.h"

namespace quillomar {

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::array<std::uint8_t, 3> kJpegSignature = {0xFF, 0xD8, 0xFF};

// A BMP file: "BM", then at offset 14 the size of one of the known info headers.
constexpr std::size_t kBmpInfoSizeOffset = 14;
constexpr std::array<std::uint32_t, 8> kBmpInfoSizes = {12, 16, 40, 52, 56, 64, 108, 124};

bool startsWith(std::span<const std::byte> head, std::span<const std::uint8_t> signature) {
    if (head.size() < signature.size()) return false;
    for (std::size_t i = 0; i < signature.size(); ++i) {
        if (static_cast<std::uint8_t>(head[i]) != signature[i]) return false;
    }
    return true;
}

bool startsWith(std::span<const std::byte> head, std::string_view text) {
    return startsWith(head, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool isBmp(std::span<const std::byte> head) {
    if (!startsWith(head, "BM") || head.size() < kBmpInfoSizeOffset + 4) return false;
    std::uint32_t infoSize = 0;
    for (std::size_t i = 0; i < 4; ++i) infoSize |= static_cast<std::uint32_t>(head[kBmpInfoSizeOffset + i]) << (8 * i);
    return std::find(kBmpInfoSizes.begin(), kBmpInfoSizes.end(), infoSize) != kBmpInfoSizes.end();
}

// The extension of the stored name's last component; "" when it has none.
std::string_view extensionOf(std::string_view storedName) {
    const std::size_t separator = storedName.find_last_of("\\/");
    const std::string_view leaf = separator == std::string_view::npos ? storedName : storedName.substr(separator + 1);
    const std::size_t dot = leaf.rfind('.');
    if (dot == std::string_view::npos) return {};
    return leaf.substr(dot + 1);
}

std::uint32_t be16(std::span<const std::byte> bytes, std::size_t at) {
    return std::uint32_t{image::u8(bytes, at)} << 8 | image::u8(bytes, at + 1);
}

std::uint32_t be32(std::span<const std::byte> bytes, std::size_t at) {
    return be16(bytes, at) << 16 | be16(bytes, at + 2);
}

// PNG: the IHDR chunk comes first, its width and height big-endian at 16 and 20.
std::optional<PictureSize> pngSize(std::span<const std::byte> file) {
    if (file.size() < 24) return std::nullopt;
    return PictureSize{be32(file, 16), be32(file, 20)};
}

// GIF: the logical screen's width and height, little-endian at 6 and 8.
std::optional<PictureSize> gifSize(std::span<const std::byte> file) {
    if (file.size() < 10) return std::nullopt;
    return PictureSize{image::le16(file, 6), image::le16(file, 8)};
}

// BMP: after the 14-byte file header, an OS/2 header holds 16-bit sizes, the others signed 32-bit
// ones (a negative height: rows top-down).
std::optional<PictureSize> bmpSize(std::span<const std::byte> file) {
    if (file.size() < 26) return std::nullopt;
    if (image::le32(file, kBmpInfoSizeOffset) == 12) return PictureSize{image::le16(file, 18), image::le16(file, 20)};
    auto magnitude = [](std::uint32_t word) {
        const std::int64_t value = static_cast<std::int32_t>(word);
        return static_cast<std::uint64_t>(value < 0 ? -value : value);
    };
    return PictureSize{magnitude(image::le32(file, 18)), magnitude(image::le32(file, 22))};
}

// JPEG: the segments after the start mark, up to the first start-of-frame (0xC0-0xCF but for
// 0xC4, 0xC8 and 0xCC), whose height and width are big-endian at 5 and 7 from its mark.
std::optional<PictureSize> jpegSize(std::span<const std::byte> file) {
    std::size_t at = 2;
    while (at + 4 <= file.size()) {
        if (image::u8(file, at) != 0xFF) return std::nullopt;
        const std::uint8_t marker = image::u8(file, at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 9 > file.size()) return std::nullopt;
            return PictureSize{be16(file, at + 7), be16(file, at + 5)};
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // marks without a length
            at += 2;
            continue;
        }
        at += 2 + be16(file, at + 2);
    }
    return std::nullopt;
}

}  // namespace

std::optional<PictureSize> claimedSize(PictureFormat format, std::span<const std::byte> file) {
    switch (format) {
        case PictureFormat::Png:
            return pngSize(file);
        case PictureFormat::Gif:
            return gifSize(file);
        case PictureFormat::Bmp:
            return bmpSize(file);
        case PictureFormat::Jpeg:
            return jpegSize(file);
        default:
            return std::nullopt;
    }
}

PictureFormat pictureFormat(std::string_view storedName, std::span<const std::byte> head) {
    if (startsWith(head, kPngSignature)) return PictureFormat::Png;
    if (startsWith(head, kJpegSignature)) return PictureFormat::Jpeg;
    if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a")) return PictureFormat::Gif;
    if (isBmp(head)) return PictureFormat::Bmp;
    const std::string_view extension = extensionOf(storedName);
    if (equalsIgnoringAsciiCase(extension, "tga")) return PictureFormat::Tga;
    if (equalsIgnoringAsciiCase(extension, "pcx")) return PictureFormat::Pcx;
    return PictureFormat::None;
}

std::string_view pictureFormatName(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp:
            return "BMP";
        case PictureFormat::Png:
            return "PNG";
        case PictureFormat::Jpeg:
            return "JPEG";
        case PictureFormat::Gif:
            return "GIF";
        case PictureFormat::Tga:
            return "TGA";
        case PictureFormat::Pcx:
            return "PCX";
        case PictureFormat::None:
            break;
    }
    return {};
}

}  // namespace quillomar
