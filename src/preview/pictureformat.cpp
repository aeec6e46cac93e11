#include "preview/pictureformat.h"

namespace quillomar {

PictureFormat pictureFormat(std::string_view, std::span<const std::byte>) { return PictureFormat::None; }

std::string_view pictureFormatName(PictureFormat) { return {}; }

}  // namespace quillomar
