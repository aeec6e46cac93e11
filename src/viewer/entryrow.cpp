#include "viewer/entryrow.h"

#include <time.h>

#include <cstdint>
#include <cstdio>

#include "archive/splitpath.h"
#include "archive/storedname.h"
#include "dialog/visibletext.h"

namespace quillomar {

namespace {

// Whole seconds since 1970, rounded down, of a file time.
time_t unixSeconds(FileTime time) {
    const std::int64_t ticks = time - kUnixEpochFileTime;
    std::int64_t seconds = ticks / kFileTimeTicksPerSecond;
    if (ticks % kFileTimeTicksPerSecond < 0) --seconds;
    return static_cast<time_t>(seconds);
}

template <typename T>
int threeWay(T first, T second) {
    return first < second ? -1 : (second < first ? 1 : 0);
}

}  // namespace

std::string entryDateText(FileTime time) {
    if (time == kNoEntryTime) return {};
    const time_t seconds = unixSeconds(time);
    struct tm local {};
#ifdef _WIN32
    if (::localtime_s(&local, &seconds) != 0) return {};
#else
    if (::localtime_r(&seconds, &local) == nullptr) return {};
#endif
    // "%x %X" as the "C" locale gives it, whatever locale the process has set: the date keeps one
    // format everywhere.
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
                  ((local.tm_year + 1900) % 100 + 100) % 100, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string entryColumnText(const ArchiveEntry& entry, int column) {
    const PathParts parts = splitPath(entry.name);
    switch (column) {
        case kColumnName:
            return storedNameToUtf8(parts.name);
        case kColumnType:
            return storedNameToUtf8(parts.extension);
        case kColumnFolder:
            return storedNameToUtf8(parts.folder);
        default:
            return {};
    }
}

namespace {

// Plain decimal, no unit, no grouping. The size is the format's unsigned 32-bit count, shown as
// the sort orders it (a count past 2 GiB would otherwise read as negative).
std::string sizeText(const ArchiveEntry& entry) {
    char size[16];
    std::snprintf(size, sizeof size, "%u", static_cast<unsigned>(entry.size));
    return size;
}

}  // namespace

EntryRow entryRow(const ArchiveEntry& entry) {
    // Stored names have no drive: the split's drive part is not shown.
    const PathParts parts = splitPath(entry.name);
    EntryRow row;
    row.name = visibleText(storedNameToUtf8(parts.name));
    row.type = visibleText(storedNameToUtf8(parts.extension));
    row.folder = visibleText(storedNameToUtf8(parts.folder));
    row.date = entryDateText(entry.time);
    row.size = sizeText(entry);
    return row;
}

std::string entryCellText(const ArchiveEntry& entry, int column) {
    switch (column) {
        case kColumnDate:
            return entryDateText(entry.time);
        case kColumnSize:
            return sizeText(entry);
        default:
            return visibleText(entryColumnText(entry, column));
    }
}

int compareEntries(const ArchiveEntry& first, const ArchiveEntry& second, int column, const Collator& collator) {
    switch (column) {
        case kColumnName:
        case kColumnType:
        case kColumnFolder:
            return collator.compare(entryColumnText(first, column), entryColumnText(second, column));
        case kColumnDate:
            return threeWay(first.time, second.time);
        case kColumnSize:
            // Equal sizes are equal: the order is consistent, so any sort can use it.
            return threeWay(first.size, second.size);
        default:
            return 0;
    }
}

}  // namespace quillomar
