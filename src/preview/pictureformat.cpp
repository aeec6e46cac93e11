#include "preview/pictureformat.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/asciicase.h"

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
    for (std::size_t i = 0; i < 4; ++i)
        infoSize |= static_cast<std::uint32_t>(head[kBmpInfoSizeOffset + i]) << (8 * i);
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

}  // namespace

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
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Gif: return "GIF";
    case PictureFormat::Tga: return "TGA";
    case PictureFormat::Pcx: return "PCX";
    case PictureFormat::None: break;
    }
    return {};
}

}  // namespace quillomar
