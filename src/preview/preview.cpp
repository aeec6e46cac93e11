#include "preview/preview.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>

#include "preview/imagebytes.h"
#include "preview/pcx.h"
#include "preview/pictureformat.h"
#include "preview/textdump.h"
#include "preview/tga.h"

namespace quillomar {

namespace {

Preview unavailable(std::string reason, Failure failure) {
    Preview preview;
    preview.kind = PreviewKind::Unavailable;
    preview.reason = std::move(reason);
    preview.failure = std::move(failure);
    if (preview.failure.detail.empty()) preview.failure.detail = preview.reason;
    return preview;
}

// Reads bytes [from, buffer's end) of the entry: nullopt when read, else why not (the archive's
// read failure, or ENODATA when the file ended early: it became shorter since it was opened).
std::optional<Failure> readInto(const PodArchive& archive, const ArchiveEntry& entry, std::vector<std::byte>& buffer,
                                std::size_t from) {
    const std::span<std::byte> rest = std::span(buffer).subspan(from);
    const ReadResult read = archive.readEntryData(entry, from, rest);
    if (read.count == static_cast<std::int64_t>(rest.size())) return std::nullopt;
    if (read.count < 0) return read.failure;
    return Failure::system(ENODATA, archive.path());
}

Preview unreadable(Failure failure) { return unavailable("the entry could not be read", std::move(failure)); }

// The refusal of a picture for the host's reader whose header claims a size beyond the bounds
// the decoders here keep; nullopt when it claims none (the reader then finds out) or a fitting one.
std::optional<Failure> claimsTooMuch(PictureFormat format, std::span<const std::byte> bytes) {
    const std::optional<PictureSize> claimed = claimedSize(format, bytes);
    if (!claimed || claimed->width == 0 || claimed->height == 0)
        return std::nullopt;  // no size, or the reader refuses it
    if (imageSizeAllowed(claimed->width, claimed->height)) return std::nullopt;
    return image::tooLarge(claimed->width, claimed->height);
}

Preview picture(const PodArchive& archive, const ArchiveEntry& entry, PictureFormat format,
                std::vector<std::byte> bytes) {
    const std::uint64_t size = entry.size;
    if (size > kMaxPictureEntryBytes)
        return unavailable("the picture is too large to show",
                           Failure::system(EFBIG, {}, "the picture is too large to show"));
    // A size claimed in the bytes read so far is refused before the rest is read, and again in the
    // whole (a JPEG's frame may lie further on).
    if (!decodedHere(format)) {
        if (std::optional<Failure> refused = claimsTooMuch(format, bytes))
            return unavailable(refused->detail, *refused);
    }
    const std::size_t head = bytes.size();
    bytes.resize(static_cast<std::size_t>(size));
    if (std::optional<Failure> failed = readInto(archive, entry, bytes, head)) return unreadable(*failed);

    Preview preview;
    preview.format = std::string(pictureFormatName(format));
    if (!decodedHere(format)) {
        if (std::optional<Failure> refused = claimsTooMuch(format, bytes))
            return unavailable(refused->detail, *refused);
        preview.kind = PreviewKind::ToolkitPicture;
        preview.bytes = std::move(bytes);
        return preview;
    }
    Result<Image> image = format == PictureFormat::Tga ? decodeTga(bytes) : decodePcx(bytes);
    if (!image) return unavailable(image.failure().detail, image.failure());
    preview.kind = PreviewKind::Picture;
    preview.image = std::move(*image);
    return preview;
}

Preview textOrHex(std::span<const std::byte> head, std::uint64_t size) {
    const CodePage& codePage = archiveCodePage();
    Preview preview;
    const Cut cut = size > head.size() ? Cut::Yes : Cut::No;
    if (std::optional<std::string> text = textFromBytes(head, cut, codePage)) {
        preview.kind = PreviewKind::Text;
        preview.text = std::move(*text);
        preview.partial = cut == Cut::Yes;
        return preview;
    }
    preview.kind = PreviewKind::Hex;
    preview.text = hexDump(head.first(std::min(head.size(), kPreviewHexBytes)), codePage);
    preview.partial = size > kPreviewHexBytes;
    return preview;
}

}  // namespace

Preview makePreview(const PodArchive& archive, const ArchiveEntry& entry) {
    try {
        const std::uint64_t size = entry.size;
        std::vector<std::byte> head(static_cast<std::size_t>(std::min<std::uint64_t>(size, kPreviewTextBytes)));
        if (std::optional<Failure> failed = readInto(archive, entry, head, 0)) return unreadable(*failed);

        const PictureFormat format = pictureFormat(entry.name, head);
        if (format != PictureFormat::None) return picture(archive, entry, format, std::move(head));
        return textOrHex(head, size);
    } catch (const std::bad_alloc&) {
        return unavailable("not enough memory to show the entry", Failure::system(ENOMEM, {}));
    }
}

}  // namespace quillomar
