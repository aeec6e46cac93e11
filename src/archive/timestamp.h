#pragma once
// The directory's timestamp word: the DOS date in the upper half and the DOS time in the lower
// half, plus a fixed bias, modulo 2^32.

#include <cstdint>
#include <optional>

#include "platform/filetime.h"

namespace quillomar {

inline constexpr std::uint32_t kTimestampBias = 0x102A654C;

// A time outside the DOS range (before 1980, after 2107) is stored as date 0 and time 0.
std::uint32_t encodeTimestamp(FileTime time);
// nullopt when the word holds no valid DOS date and time.
std::optional<FileTime> decodeTimestamp(std::uint32_t timestamp);

}  // namespace quillomar
