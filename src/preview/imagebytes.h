#pragma once
// What the picture decoders share: little-endian fields read from a checked position, and the
// failure record a refusal returns.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/failure.h"

namespace quillomar::image {

// The caller has checked that bytes holds [at, at + 2).
inline std::uint16_t le16(std::span<const std::byte> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(bytes[at]) | static_cast<unsigned>(bytes[at + 1]) << 8);
}

// The caller has checked that bytes holds [at, at + 4).
inline std::uint32_t le32(std::span<const std::byte> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(le16(bytes, at)) | static_cast<std::uint32_t>(le16(bytes, at + 2)) << 16;
}

inline std::uint8_t u8(std::span<const std::byte> bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

// A refusal: EINVAL for damaged data, EFBIG for a picture beyond the bounds, ENOTSUP for a variant
// not decoded; offset is where in the file the problem lies.
inline Failure refusal(int error, std::string detail, std::uint64_t offset = 0) {
    Failure failure = Failure::system(error, {}, std::move(detail));
    failure.offset = offset;
    return failure;
}

inline Failure cutShort(std::uint64_t offset) { return refusal(EINVAL, "the picture is cut short", offset); }

inline Failure tooLarge(std::uint64_t width, std::uint64_t height) {
    return refusal(EFBIG, "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
}

// 5 bits of a colour spread over 8.
constexpr std::uint32_t expand5(std::uint32_t v) { return (v << 3) | (v >> 2); }

constexpr std::uint32_t kOpaque = 0xFF000000;

}  // namespace quillomar::image
