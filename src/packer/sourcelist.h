#pragma once
// The scan of a folder: every file below it, depth-first, each folder's listing in the order
// NTFS lists it (ordinal order of the upper-cased names), so the same folder always gives the
// same list.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry.h"
#include "platform/failure.h"
#include "platform/progress.h"

namespace quillomar {

// Says whether to leave out a file or a folder (with everything below it), given its path
// relative to the scanned folder ('/' separators).
using ScanFilter = std::function<bool(std::string_view relative, bool isFolder)>;

// What the scan does with a folder it cannot list: shows it at once (a sub-folder's; the dropped
// folder itself then just shows as empty), or keeps it in `unlisted`, the dropped folder's too,
// for a caller that reports every problem together.
enum class UnlistedFolders { Shown, Kept };

struct SourceList {
    std::uint64_t totalBytes = 0;     // sum of the files' 32-bit sizes, without wrapping
    std::int32_t subfolderCount = 0;  // folders entered below the scanned one
    std::uint32_t largestSize = 0;
    std::int32_t prefixLength = 0;  // bytes of each name that make up the folder and one separator
    std::vector<SourceFile> files;
    // The first folder of the last scan whose content could not be listed in full (already shown);
    // empty when every folder was listed.
    Failure failure;
    // With UnlistedFolders::Kept: every folder that could not be listed in full, none shown.
    std::vector<Failure> unlisted;

    // Empties the list and prepares a scan of folder. The names below a folder given with a
    // trailing '/' (a root such as "/") come out as without it.
    void resetScan(const std::string& folder);
    // Appends every file below folder; steps progress once per folder visited. Linked folders are
    // entered, except one already on the current path. Only regular files are recorded.
    // Files and folders for which skip says true are left out and not counted.
    void scanFolder(const std::string& folder, ProgressSink* progress, const ScanFilter& skip = {},
                    UnlistedFolders unlistedFolders = UnlistedFolders::Shown);
};

}  // namespace quillomar
