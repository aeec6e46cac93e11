#pragma once
// A decoded picture, and the bounds every decoder checks before it allocates one.

#include <cstdint>
#include <vector>

namespace quillomar {

// Pixels as 0xAARRGGBB (straight, not premultiplied alpha), rows top-down, no padding:
// pixels[y * width + x]. In memory on a little-endian machine each pixel is B, G, R, A: what
// QImage::Format_ARGB32 and a 32-bit top-down Windows DIB hold.
struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// The largest picture decoded: no side beyond 16384 pixels, no pixel buffer beyond 256 MiB.
inline constexpr std::uint32_t kMaxImageSide = 16384;
inline constexpr std::uint64_t kMaxImageBytes = std::uint64_t{256} << 20;

// True when a picture of width x height fits both bounds (a side of 0 does not: nothing to show).
constexpr bool imageSizeAllowed(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height * sizeof(std::uint32_t) <= kMaxImageBytes;
}

}  // namespace quillomar
