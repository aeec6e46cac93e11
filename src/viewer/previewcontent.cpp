#include "viewer/previewcontent.h"

#include <utility>

namespace quillomar {

PaneContent paneContentOf(Preview&& preview, const std::string& sizeFormat, const std::string& cannotShow) {
    PaneContent content;
    switch (preview.kind) {
        case PreviewKind::Text:
            content.kind = PaneContent::Kind::Text;
            content.text = std::move(preview.text);
            break;
        case PreviewKind::Hex:
            content.kind = PaneContent::Kind::FixedText;
            content.text = std::move(preview.text);
            break;
        case PreviewKind::Picture:
            // The decoder keeps within its bounds; a picture whose pixels do not fill it is
            // shown as one that cannot be.
            if (preview.image.pixels.size() != std::size_t{preview.image.width} * std::size_t{preview.image.height} ||
                preview.image.pixels.empty()) {
                content.kind = PaneContent::Kind::Message;
                content.text = cannotShow;
                break;
            }
            content.kind = PaneContent::Kind::Pixels;
            content.width = static_cast<int>(preview.image.width);
            content.height = static_cast<int>(preview.image.height);
            content.pixels = std::move(preview.image.pixels);
            content.sizeFormat = sizeFormat;
            break;
        case PreviewKind::ToolkitPicture:
            content.kind = PaneContent::Kind::EncodedImage;
            content.encoded = std::move(preview.bytes);
            content.sizeFormat = sizeFormat;
            content.failureText = cannotShow;
            break;
        case PreviewKind::Unavailable:
            content.kind = PaneContent::Kind::Message;
            content.text = cannotShow;
            break;
    }
    return content;
}

}  // namespace quillomar
