#pragma once
// What the content window shows of an entry, and the order its columns sort in.

#include <string>

#include "archive/entry.h"
#include "platform/collate.h"
#include "platform/filetime.h"

namespace quillomar {

// The list's columns, in the order they are created.
enum EntryColumn : int {
    kColumnName = 0,    // the stored name's file name, without folder and extension
    kColumnType = 1,    // the extension, dot included
    kColumnFolder = 2,  // the folder, trailing separator included
    kColumnDate = 3,    // the entry's time as local date and time
    kColumnSize = 4,    // the size in bytes
    kColumnCount = 5,
};

// The texts of one row, UTF-8, control characters shown as visible placeholders (visibleText).
struct EntryRow {
    std::string name;
    std::string type;
    std::string folder;
    std::string date;
    std::string size;
};

EntryRow entryRow(const ArchiveEntry& entry);
// One cell of an entry's row; "" for a column the list does not have.
std::string entryCellText(const ArchiveEntry& entry, int column);

// An entry's time as local time, "%x %X" of the "C" locale whatever locale the process runs in:
// 04/28/03 14:05:09. Empty for kNoEntryTime (the stored date and time were no valid DOS time) and
// for a time the C library cannot convert.
std::string entryDateText(FileTime time);

// The order of two entries by column: the name, type and folder by the collation (case-sensitive,
// an empty text first), the date by time (an entry without a valid time first), the size as
// unsigned 32-bit numbers. Negative, 0 or positive; equal keys give 0, so sorting by any column
// is a consistent order. An unknown column compares every pair equal.
int compareEntries(const ArchiveEntry& first, const ArchiveEntry& second, int column, const Collator& collator);

// The collation text of an entry's name, type or folder: the stored part as UTF-8, unchanged.
std::string entryColumnText(const ArchiveEntry& entry, int column);

}  // namespace quillomar
