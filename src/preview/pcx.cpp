#include "preview/pcx.h"

#include <cerrno>

namespace quillomar {

Result<Image> decodePcx(std::span<const std::byte>) { return Failure::system(ENOTSUP, {}, "not decoded yet"); }

}  // namespace quillomar
