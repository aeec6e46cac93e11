#pragma once
// The ZSoft PCX decoder: run-length encoded pictures of 1 bit (two colours), 4 bits (four bit
// planes or one plane of 4-bit pixels, 16-colour header palette), 8 bits (256-colour palette at the
// end of the file) and 24 bits (three 8-bit planes).

#include <cstddef>
#include <span>

#include "platform/failure.h"
#include "preview/image.h"

namespace quillomar {

// Decodes a whole PCX file. Refuses, before allocating the picture, sizes beyond imageSizeAllowed
// (EFBIG), and a file cut short or a missing 256-colour palette (EINVAL); a variant it does not
// decode is ENOTSUP. The failure's detail says what is wrong, its offset where in the file.
Result<Image> decodePcx(std::span<const std::byte> file);

}  // namespace quillomar
