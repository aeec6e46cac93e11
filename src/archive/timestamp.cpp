#include "archive/timestamp.h"

namespace quillomar {

std::uint32_t encodeTimestamp(FileTime time) {
    DosDateTime dos = fileTimeToDosDateTime(time).value_or(DosDateTime{});
    std::uint32_t packed = static_cast<std::uint32_t>(dos.date) << 16 | dos.time;
    return packed + kTimestampBias;  // modulo 2^32
}

std::optional<FileTime> decodeTimestamp(std::uint32_t timestamp) {
    std::uint32_t packed = timestamp - kTimestampBias;  // modulo 2^32
    return dosDateTimeToFileTime(
        DosDateTime{static_cast<std::uint16_t>(packed >> 16), static_cast<std::uint16_t>(packed & 0xFFFF)});
}

}  // namespace quillomar
