#include "platform/filetime.h"

#include <algorithm>
#include <cstdint>

namespace quillomar {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

bool isLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

FileTime fileTimeFromTimespec(const struct timespec& ts) {
    // Some file systems (tmpfs) keep any 64-bit time; seconds beyond what a file time can count are
    // held at the ends of its range, which lie far outside the DOS range all the same.
    constexpr std::int64_t kMaxSeconds = (INT64_MAX - kUnixEpochFileTime) / kFileTimeTicksPerSecond - 1;
    const std::int64_t seconds = std::clamp<std::int64_t>(ts.tv_sec, -kMaxSeconds, kMaxSeconds);
    return kUnixEpochFileTime + seconds * kFileTimeTicksPerSecond + ts.tv_nsec / 100;
}

struct timespec timespecFromFileTime(FileTime time) {
    std::int64_t ticks = time - kUnixEpochFileTime;
    std::int64_t seconds = floorDiv(ticks, kFileTimeTicksPerSecond);
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((ticks - seconds * kFileTimeTicksPerSecond) * 100);
    return ts;
}

CivilTime civilFromFileTime(FileTime time) {
    std::int64_t seconds = floorDiv(time - kUnixEpochFileTime, kFileTimeTicksPerSecond);
    std::int64_t days = floorDiv(seconds, 86400);
    std::int64_t rest = seconds - days * 86400;
    CivilTime civil;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    civil.year = static_cast<int>(year);
    civil.month = static_cast<int>(month);
    civil.day = static_cast<int>(day);
    civil.hour = static_cast<int>(rest / 3600);
    civil.minute = static_cast<int>(rest / 60 % 60);
    civil.second = static_cast<int>(rest % 60);
    return civil;
}

std::optional<DosDateTime> fileTimeToDosDateTime(FileTime time) {
    CivilTime c = civilFromFileTime(time);
    if (c.year < 1980 || c.year > 2107) return std::nullopt;
    DosDateTime dos;
    dos.date = static_cast<std::uint16_t>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
    dos.time = static_cast<std::uint16_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
    return dos;
}

std::optional<FileTime> dosDateTimeToFileTime(DosDateTime dos) {
    const unsigned day = dos.date & 0x1F;
    const unsigned month = (dos.date >> 5) & 0x0F;
    const std::int64_t year = 1980 + (dos.date >> 9);
    const unsigned second = (dos.time & 0x1F) * 2u;
    const unsigned minute = (dos.time >> 5) & 0x3F;
    const unsigned hour = dos.time >> 11;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    std::int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return kUnixEpochFileTime + seconds * kFileTimeTicksPerSecond;
}

}  // namespace quillomar
