#pragma once
// What the content window's preview pane shows for one entry, read straight from the archive.
//
// The kind is chosen by the entry's bytes first (the PNG, JPEG, GIF and BMP signatures), then by
// its extension (.tga, .pcx), then by whether its start reads as text (valid UTF-8, or code-page
// text: no NUL and hardly any control character); anything else is shown as a hex dump.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/podarchive.h"
#include "platform/failure.h"
#include "preview/image.h"

namespace quillomar {

enum class PreviewKind {
    Text,            // text holds the entry's start as UTF-8
    Picture,         // image holds the picture decoded here (TGA, PCX)
    ToolkitPicture,  // bytes holds the whole entry for the host's image reader (BMP, PNG, JPEG, GIF)
    Hex,             // text holds the dump of the entry's start
    Unavailable,     // nothing to show: reason and failure say why
};

// The most of an entry shown as text, and as a hex dump.
inline constexpr std::size_t kPreviewTextBytes = 64 * 1024;
inline constexpr std::size_t kPreviewHexBytes = 4 * 1024;
// The largest entry read whole for a picture: the largest picture's pixels and room for headers,
// maps and footer. A larger picture entry is Unavailable.
inline constexpr std::uint64_t kMaxPictureEntryBytes = kMaxImageBytes + (std::uint64_t{1} << 20);

struct Preview {
    PreviewKind kind = PreviewKind::Unavailable;
    // Text: the entry's first 64 KiB (a character cut at the limit left out), converted from UTF-8
    // (a leading byte-order mark dropped) or from the archive code page. Hex: lines of the first
    // 4 KiB, "00000000  48 65 6C 6C 6F 0D 0A 00  ...  Hello.." (offset, 16 bytes, the code page's
    // characters with '.' for what cannot be shown), each ending in '\n'.
    std::string text;
    // Text and Hex: only the start of the entry is shown.
    bool partial = false;
    // Picture: the decoded pixels.
    Image image;
    // Picture and ToolkitPicture: "TGA", "PCX", "BMP", "PNG", "JPEG" or "GIF".
    std::string format;
    // ToolkitPicture: the entry's bytes, of a picture whose header claims no size beyond the
    // bounds of image.h (a larger one is Unavailable, EFBIG). When the host's reader cannot read
    // them the window shows the picture as one that cannot be shown.
    std::vector<std::byte> bytes;
    // Unavailable: what is wrong in a few English words ("the image is cut short"), for a detail
    // line; the window shows its own "cannot be shown" text. failure holds the record: the archive's
    // read failure (system error), or the decoder's refusal (EINVAL, EFBIG, ENOTSUP with detail and
    // the offset in the entry).
    std::string reason;
    Failure failure;
};

// Reads what it needs of entry (one of archive's entries, archive open) with readEntryData:
// 64 KiB at most to choose the kind and show text or hex, the whole entry for a picture. Never
// throws for bad data; Unavailable when the entry cannot be read, the picture not decoded, or its
// size is beyond the bounds.
Preview makePreview(const PodArchive& archive, const ArchiveEntry& entry);

}  // namespace quillomar
