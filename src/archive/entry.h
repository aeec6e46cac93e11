#pragma once
#include <cstdint>
#include <string>

#include "platform/filetime.h"

namespace quillomar {

// Entry time of a record whose timestamp is no valid DOS date and time. No valid DOS time
// converts to it, so it can mark "no time": extraction then leaves the file's times alone.
inline constexpr FileTime kNoEntryTime = 0;

// One stored file as loaded from the directory.
struct ArchiveEntry {
    std::string name;          // stored name as in the name table: code-page bytes, '\' separators
    std::uint32_t size = 0;    // data length, as the directory record holds it
    std::uint32_t offset = 0;  // where the data starts in the file; ranges are worked out in 64 bits
    FileTime time = kNoEntryTime;
};

// One file found by the scan; `offset` is filled by the writer.
struct SourceFile {
    std::string name;            // full host path (UTF-8, '/' separators)
    std::uint32_t size = 0;      // low 32 bits of the size, as the format holds it
    std::uint32_t offset = 0;    // where the writer put its data
    FileTime time = 0;           // last-write time, UTC
    std::uint64_t diskSize = 0;  // the whole size, so an oversized archive is refused up front
};

}  // namespace quillomar
