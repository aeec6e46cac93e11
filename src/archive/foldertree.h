#pragma once
// The folders and files that extracting a whole archive leaves below its root, worked out without
// writing anything: what a mounted archive shows. Names are made as extraction makes them (safe
// relative paths converted from the code page, lower-cased when asked), the entries extraction
// refuses are left out, and of two entries on one path the later one is kept, as extraction
// writes it over the earlier. Where a file stands in the way of a folder (or a folder in the way
// of a file) the entry that came first stays and the other is left out, as extraction fails on it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry.h"
#include "archive/podarchive.h"

namespace quillomar {

struct TreeNode {
    static constexpr std::uint32_t kFolder = UINT32_MAX;

    std::string name;               // UTF-8 leaf name; "" for the root
    std::uint32_t parent = 0;       // the root is its own parent
    std::uint32_t entry = kFolder;  // a file's position in the entries
    std::uint32_t firstChild = 0;   // a folder's children: children[firstChild, firstChild + childCount)
    std::uint32_t childCount = 0;
    std::uint32_t subfolders = 0;  // how many of the children are folders

    bool isFolder() const { return entry == kFolder; }
};

struct FolderTree {
    static constexpr std::uint32_t kRoot = 0;

    std::vector<TreeNode> nodes;          // nodes[kRoot] is the root folder
    std::vector<std::uint32_t> children;  // each folder's children, sorted by name (byte order)

    // Entries not shown, by reason.
    std::size_t unsafe = 0;    // "..", a leading separator, a drive, a reserved name, no name at all
    std::size_t tooLong = 0;   // a folder or file name over kMaxHostNameBytes in UTF-8
    std::size_t blocked = 0;   // a file where a folder is needed, or a folder where the file goes
    std::size_t replaced = 0;  // an earlier entry on the same path as a later one

    // The child of folder called name.
    std::optional<std::uint32_t> find(std::uint32_t folder, std::string_view name) const;
    std::span<const std::uint32_t> childrenOf(std::uint32_t folder) const;
};

// One pass over the entries, then one sort of each folder's children. Memory grows with the
// number of entries only.
FolderTree buildFolderTree(const std::vector<ArchiveEntry>& entries, ExtractedNames names = ExtractedNames::AsStored);

}  // namespace quillomar
