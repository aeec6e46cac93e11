#pragma once
// Entries whose data ranges overlap. The format allows it (two records may share their bytes),
// but a small archive can then extract to many times its size.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/entry.h"

namespace quillomar {

// Extraction warns before it starts when it would write more than this many times the
// archive's size.
inline constexpr std::uint64_t kLargeOutputFactor = 100;

struct DataOverlap {
    std::size_t entries = 0;    // entries whose data overlaps that of an entry before them in the file
    std::size_t first = 0;      // the first such entry (position in the entries), when there is one
    std::size_t firstWith = 0;  // an entry it overlaps
};

// Which entries share bytes with another; entries of no data share nothing.
DataOverlap findDataOverlap(const std::vector<ArchiveEntry>& entries);

// The bytes extraction of the entries at the given positions writes.
std::uint64_t bytesToWrite(const std::vector<ArchiveEntry>& entries, const std::vector<std::size_t>& indices);

// Whether writing total bytes out of an archive of archiveBytes deserves a warning first.
constexpr bool isLargeOutput(std::uint64_t total, std::uint64_t archiveBytes) {
    return total > kLargeOutputFactor * archiveBytes;  // archives stay far below 2^64 / 100 bytes
}

}  // namespace quillomar
