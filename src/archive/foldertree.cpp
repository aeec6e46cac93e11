#include "archive/foldertree.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "archive/extractcheck.h"
#include "archive/storedname.h"
#include "platform/codepage.h"

namespace quillomar {

namespace {

// Lookups by a part of a path, without making a string of it.
struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const { return std::hash<std::string_view>{}(path); }
};
using NodesByPath = std::unordered_map<std::string, std::uint32_t, PathHash, std::equal_to<>>;

std::uint32_t addNode(FolderTree& tree, NodesByPath& byPath, std::string_view path, std::size_t leafAt,
                      std::uint32_t parent, std::uint32_t entry) {
    const auto index = static_cast<std::uint32_t>(tree.nodes.size());
    TreeNode node;
    node.name = std::string(path.substr(leafAt));
    node.parent = parent;
    node.entry = entry;
    tree.nodes.push_back(std::move(node));
    byPath.emplace(std::string(path), index);
    return index;
}

// Gives each folder its children, sorted by name: counted per folder, placed, then sorted.
void linkChildren(FolderTree& tree) {
    std::vector<TreeNode>& nodes = tree.nodes;
    for (std::uint32_t i = 1; i < nodes.size(); ++i) {
        TreeNode& parent = nodes[nodes[i].parent];
        ++parent.childCount;
        if (nodes[i].isFolder()) ++parent.subfolders;
    }
    std::uint32_t next = 0;
    for (TreeNode& node : nodes) {
        node.firstChild = next;
        next += node.childCount;
    }
    tree.children.assign(next, 0);
    std::vector<std::uint32_t> placed(nodes.size(), 0);
    for (std::uint32_t i = 1; i < nodes.size(); ++i) {
        const std::uint32_t parent = nodes[i].parent;
        tree.children[nodes[parent].firstChild + placed[parent]++] = i;
    }
    for (const TreeNode& node : nodes) {
        const auto begin = tree.children.begin() + node.firstChild;
        std::sort(begin, begin + node.childCount,
                  [&nodes](std::uint32_t a, std::uint32_t b) { return nodes[a].name < nodes[b].name; });
    }
}

}  // namespace

std::span<const std::uint32_t> FolderTree::childrenOf(std::uint32_t folder) const {
    const TreeNode& node = nodes[folder];
    return std::span(children).subspan(node.firstChild, node.childCount);
}

std::optional<std::uint32_t> FolderTree::find(std::uint32_t folder, std::string_view name) const {
    const std::span<const std::uint32_t> list = childrenOf(folder);
    const auto at = std::lower_bound(
        list.begin(), list.end(), name,
        [this](std::uint32_t child, std::string_view wanted) { return std::string_view(nodes[child].name) < wanted; });
    if (at == list.end() || nodes[*at].name != name) return std::nullopt;
    return *at;
}

FolderTree buildFolderTree(const std::vector<ArchiveEntry>& entries, ExtractedNames names) {
    FolderTree tree;
    tree.nodes.emplace_back();  // the root
    NodesByPath byPath;
    byPath.reserve(entries.size());
    const CodePage& page = archiveCodePage();

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& stored = entries[i].name;
        const std::optional<std::string> relative =
            safeRelativePath(names == ExtractedNames::LowerCase ? page.lower(stored) : stored);
        if (!relative) {
            ++tree.unsafe;
            continue;
        }
        const std::string_view path = *relative;
        // The folders down to the file, made as extraction makes them: one component at a time,
        // until a file stands where a folder should be or a name is too long for the host.
        std::uint32_t folder = FolderTree::kRoot;
        std::size_t leafAt = 0;
        std::size_t* leftOut = nullptr;
        for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
            const std::string_view prefix = path.substr(0, slash);
            if (const auto found = byPath.find(prefix); found != byPath.end()) {
                if (!tree.nodes[found->second].isFolder()) {
                    leftOut = &tree.blocked;
                    break;
                }
                folder = found->second;
            } else if (slash - leafAt > kMaxHostNameBytes) {
                leftOut = &tree.tooLong;
                break;
            } else {
                folder = addNode(tree, byPath, prefix, leafAt, folder, TreeNode::kFolder);
            }
            leafAt = slash + 1;
        }
        if (leftOut == nullptr && path.size() - leafAt > kMaxHostNameBytes) leftOut = &tree.tooLong;
        if (leftOut != nullptr) {
            ++*leftOut;
            continue;
        }
        if (const auto found = byPath.find(path); found != byPath.end()) {
            TreeNode& node = tree.nodes[found->second];
            if (node.isFolder()) {
                ++tree.blocked;
            } else {
                node.entry = static_cast<std::uint32_t>(i);
                ++tree.replaced;
            }
            continue;
        }
        addNode(tree, byPath, path, leafAt, folder, static_cast<std::uint32_t>(i));
    }
    linkChildren(tree);
    return tree;
}

}  // namespace quillomar
