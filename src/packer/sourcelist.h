#pragma once
// The scan of a folder: every file below it, depth-first, each folder's listing in the order
// NTFS lists it (ordinal order of the upper-cased names), so the same folder always gives the
// same list.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "platform/progress.h"

namespace quillomar {

struct SourceList {
    std::uint64_t totalBytes = 0;      // sum of the files' 32-bit sizes, without wrapping
    std::int32_t subfolderCount = 0;   // folders entered below the scanned one
    std::uint32_t largestSize = 0;
    std::int32_t prefixLength = 0;     // length of the scanned folder's path plus its separator
    std::vector<SourceFile> files;

    // Empties the list and prepares a scan of folder.
    void resetScan(const std::string& folder);
    // Appends every file below folder; steps progress once per folder visited. Linked folders are
    // entered, except one already on the current path. Only regular files are recorded.
    void scanFolder(const std::string& folder, ProgressSink* progress);
};

}  // namespace quillomar
