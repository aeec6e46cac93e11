// Any bytes as a TGA file: the decoder either refuses them with a reason or gives a picture within
// the bounds whose every pixel was written.

#include <cstdint>

#include "fuzzsupport.h"
#include "preview/tga.h"

using namespace quillomar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::checkDecodedPicture(decodeTga(std::span(reinterpret_cast<const std::byte*>(data), size)), size);
    return 0;
}
