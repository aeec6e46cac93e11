#pragma once
// File times as the archive format keeps them: a 64-bit count of 100-ns intervals since
// 1601-01-01 00:00 UTC. DOS date and time conversions apply no time-zone shift.

#include <cstdint>
#include <ctime>
#include <optional>

namespace quillomar {

using FileTime = std::int64_t;

// 1970-01-01 00:00 UTC as a file time.
inline constexpr FileTime kUnixEpochFileTime = 116444736000000000LL;
inline constexpr std::int64_t kFileTimeTicksPerSecond = 10000000;

FileTime fileTimeFromTimespec(const struct timespec& ts);
struct timespec timespecFromFileTime(FileTime time);

struct DosDateTime {
    std::uint16_t date = 0;  // (year - 1980) * 512 + month * 32 + day
    std::uint16_t time = 0;  // hour * 2048 + minute * 32 + second / 2
};

// nullopt for a time before 1980-01-01 or after 2107-12-31 23:59:59.
std::optional<DosDateTime> fileTimeToDosDateTime(FileTime time);
// nullopt when the pair is no valid DOS date and time (month, day of month, hour, minute, second).
std::optional<FileTime> dosDateTimeToFileTime(DosDateTime dos);

// Calendar fields of a UTC file time, for display.
struct CivilTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
CivilTime civilFromFileTime(FileTime time);

}  // namespace quillomar
