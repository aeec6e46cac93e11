#pragma once
#include <cstdint>
#include <string>

#include "platform/filetime.h"

namespace quillomar {

// Entry time of a record whose timestamp is no valid DOS date and time. No valid DOS time
// converts to it, so it can mark "no time": extraction then leaves the file's times alone.
inline constexpr FileTime kNoEntryTime = 0;

// The value of a 32-bit field the format counts unsigned (a size, a data offset), whichever signed
// type holds it: its low 32 bits. Ranges in the file are worked out with it, in 64 bits.
constexpr std::uint32_t fieldValue(std::int64_t field) { return static_cast<std::uint32_t>(field); }

// One stored file as loaded from the directory.
struct ArchiveEntry {
    std::string name;         // stored name as in the name table: code-page bytes, '\' separators
    std::int32_t size = 0;    // data length; the format's 32 bits (read as unsigned for ranges)
    std::int64_t offset = 0;  // dataOffset, sign-extended; users seek with its low 32 bits
    FileTime time = kNoEntryTime;
};

// One file found by the scan; `offset` is filled by the writer.
struct SourceFile {
    std::string name;            // full host path (UTF-8, '/' separators)
    std::uint32_t size = 0;      // low 32 bits of the size, as the format holds it
    std::int64_t offset = 0;     // where the writer put its data
    FileTime time = 0;           // last-write time, UTC
    std::uint64_t diskSize = 0;  // the whole size, so an oversized archive is refused up front
};

}  // namespace quillomar
