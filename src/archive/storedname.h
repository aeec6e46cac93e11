#pragma once
// Stored names: relative paths with '\' between components, in the archive code page.

#include <optional>
#include <string>
#include <string_view>

namespace quillomar {

struct StoredNameResult {
    std::optional<std::string> name;  // set on success
    int error = 0;                    // EILSEQ, ENAMETOOLONG or EINVAL otherwise
};

// A host path relative to the packed folder (UTF-8, '/' separators) as the writer stores it:
// '\' separators, upper-cased in the code page, at most 259 bytes. A component holding '\'
// is refused with EINVAL, a character the code page lacks with EILSEQ, a long name with ENAMETOOLONG.
StoredNameResult storedNameFromHostPath(std::string_view relative);

// The stored name as UTF-8 text for display, separators as stored.
std::string storedNameToUtf8(std::string_view stored);

// The relative host path (UTF-8, '/' separators) a stored name extracts to; '\' and '/' both
// separate. nullopt for an unsafe name: empty, a leading separator, a drive designator, a ".."
// component, or nothing left but "." components.
std::optional<std::string> safeRelativePath(std::string_view stored);

// A stored name in host form for messages, unsafe or not: UTF-8 with '/' separators.
std::string storedNameForMessage(std::string_view stored);

}  // namespace quillomar
