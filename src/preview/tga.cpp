#include "preview/tga.h"

#include <cerrno>

namespace quillomar {

Result<Image> decodeTga(std::span<const std::byte>) { return Failure::system(ENOTSUP, {}, "not decoded yet"); }

}  // namespace quillomar
