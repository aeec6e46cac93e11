#pragma once
// Which picture format an entry holds: by its first bytes for the formats that have a signature,
// by its extension for those that have none.

#include <cstddef>
#include <span>
#include <string_view>

namespace quillomar {

enum class PictureFormat { None, Bmp, Png, Jpeg, Gif, Tga, Pcx };

// storedName: the entry's stored name (either separator); head: its first bytes (at least the
// first 64 when the entry holds that many).
PictureFormat pictureFormat(std::string_view storedName, std::span<const std::byte> head);

// "BMP", "PNG", "JPEG", "GIF", "TGA", "PCX"; "" for None.
std::string_view pictureFormatName(PictureFormat format);

// True for the formats decoded here rather than by the host's toolkit.
constexpr bool decodedHere(PictureFormat format) { return format == PictureFormat::Tga || format == PictureFormat::Pcx; }

}  // namespace quillomar
