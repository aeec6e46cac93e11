#pragma once
// Chooses archive entries by the operands a user types: a stored name, a folder (every entry
// below it) or a pattern (see archive/namepattern.h), in any letter case and with '/' or '\'
// between folders.

#include <cstddef>
#include <string>
#include <vector>

#include "archive/entry.h"

namespace quillomar::cli {

struct EntrySelection {
    std::vector<std::size_t> indices;    // chosen entries, in directory order, each once
    std::vector<std::string> unmatched;  // operands that chose nothing, in the order typed
};

// An operand without wildcards names the entries of that name, or when there is none every
// entry below the folder of that name. An operand with wildcards that equals a name or folder
// as typed ("A[1].TXT") means that name; otherwise it is a pattern, and chooses every entry it
// matches whole or through one of its folders.
EntrySelection selectEntries(const std::vector<ArchiveEntry>& entries, const std::vector<std::string>& operands);

}  // namespace quillomar::cli
