// Any bytes as a TGA file: the decoder either refuses them with a reason or gives a picture within
// the bounds whose every pixel was written.

#include <cstdint>

#include "fuzzsupport.h"
#include "preview/tga.h"

using namespace quillomar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Result<Image> image = decodeTga(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (!image) {
        fuzz::check(image.failure().failed(), "a refusal without an error");
        fuzz::check(!image.failure().detail.empty(), "a refusal without a reason");
        fuzz::check(image.failure().offset <= size, "a refusal's offset lies past the file");
        return 0;
    }
    fuzz::check(imageSizeAllowed(image->width, image->height), "a picture beyond the bounds was decoded");
    fuzz::check(image->pixels.size() == std::size_t{image->width} * image->height, "pixel count differs from the size");
    return 0;
}
