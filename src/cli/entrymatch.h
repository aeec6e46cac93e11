#pragma once
// Finds archive entries by the names a user types: in any letter case (compared upper-cased in
// the archive code page, as the writer stores names) and with '/' or '\' between folders.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/entry.h"

namespace quillomar::cli {

class EntryMatcher {
public:
    explicit EntryMatcher(const std::vector<ArchiveEntry>& entries);

    // Positions of the entries named exactly name, in directory order.
    std::vector<std::size_t> exact(std::string_view name) const;
    // The entries named name; when there is none, every entry below the folder name (a name
    // ending in a separator means the folder only). Directory order.
    std::vector<std::size_t> entryOrFolder(std::string_view name) const;

private:
    // The comparison form of a typed UTF-8 name; nullopt when the code page cannot hold it.
    static std::optional<std::string> keyOfTypedName(std::string_view name);

    std::vector<std::string> keys_;  // comparison form of each entry's stored name
    std::unordered_map<std::string_view, std::vector<std::size_t>> byKey_;
};

}  // namespace quillomar::cli
