#pragma once
// The Truevision TGA decoder: image types 1, 2, 3 (colour-mapped, true colour, greyscale) and
// their run-length encoded forms 9, 10, 11; 8, 15, 16, 24 and 32 bits per pixel; colour maps of
// 15, 16, 24 and 32-bit entries; any of the four origins; with or without the 2.0 footer.

#include <cstddef>
#include <span>

#include "platform/failure.h"
#include "preview/image.h"

namespace quillomar {

// Decodes a whole TGA file. Refuses, before allocating the picture, sizes beyond imageSizeAllowed
// (EFBIG), and any file cut short, a colour index outside the map or a run passing the end of the
// picture (EINVAL); a variant it does not decode is ENOTSUP. The failure's detail says what is
// wrong, its offset where in the file.
Result<Image> decodeTga(std::span<const std::byte> file);

}  // namespace quillomar
