#pragma once
// Which picture format an entry holds: by its first bytes for the formats that have a signature,
// by its extension for those that have none.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quillomar {

enum class PictureFormat { None, Bmp, Png, Jpeg, Gif, Tga, Pcx };

// storedName: the entry's stored name (either separator); head: its first bytes (at least the
// first 64 when the entry holds that many).
PictureFormat pictureFormat(std::string_view storedName, std::span<const std::byte> head);

// "BMP", "PNG", "JPEG", "GIF", "TGA", "PCX"; "" for None.
std::string_view pictureFormatName(PictureFormat format);

struct PictureSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// The size a BMP, PNG, GIF or JPEG file claims in its header (for GIF its logical screen, for JPEG
// its first frame), so that a picture beyond the bounds is refused before the host's reader
// allocates it; nullopt when the header is cut short or not found, and for the other formats.
std::optional<PictureSize> claimedSize(PictureFormat format, std::span<const std::byte> file);

// True for the formats decoded here rather than by the host's toolkit.
constexpr bool decodedHere(PictureFormat format) {
    return format == PictureFormat::Tga || format == PictureFormat::Pcx;
}

}  // namespace quillomar
