// The folder a mounted archive shows: the tree extraction would write, worked out from the names.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/foldertree.h"
#include "platform/codepage.h"

namespace quillomar {
namespace {

std::vector<ArchiveEntry> entriesNamed(const std::vector<std::string>& names) {
    std::vector<ArchiveEntry> entries;
    for (const std::string& name : names) entries.push_back({name, 1, 0, kNoEntryTime});
    return entries;
}

// Every node below the root, depth first in the order the tree keeps children: "A/" for a
// folder, "A/B=2" for a file shown from entry 2.
void describe(const FolderTree& tree, std::uint32_t folder, const std::string& prefix, std::string& out) {
    for (const std::uint32_t child : tree.childrenOf(folder)) {
        const TreeNode& node = tree.nodes[child];
        EXPECT_EQ(node.parent, folder);
        if (node.isFolder()) {
            out += prefix + node.name + "/ ";
            describe(tree, child, prefix + node.name + "/", out);
        } else {
            out += prefix + node.name + "=" + std::to_string(node.entry) + " ";
        }
    }
}

struct TreeRow {
    const char* what;
    std::vector<std::string> names;  // stored names, code page 1252
    ExtractedNames case_;
    std::string shown;
    std::size_t unsafe, tooLong, blocked, replaced;
};

class FolderTreeTest : public ::testing::TestWithParam<TreeRow> {};

TEST_P(FolderTreeTest, ShowsWhatExtractionWrites) {
    const TreeRow& row = GetParam();
    ASSERT_TRUE(setArchiveCodePage(1252));
    const FolderTree tree = buildFolderTree(entriesNamed(row.names), row.case_);
    std::string shown;
    describe(tree, FolderTree::kRoot, "", shown);
    EXPECT_EQ(shown, row.shown) << row.what;
    EXPECT_EQ(tree.unsafe, row.unsafe) << row.what;
    EXPECT_EQ(tree.tooLong, row.tooLong) << row.what;
    EXPECT_EQ(tree.blocked, row.blocked) << row.what;
    EXPECT_EQ(tree.replaced, row.replaced) << row.what;
}

const std::string kLongName(256, 'N');

INSTANTIATE_TEST_SUITE_P(
    Rows, FolderTreeTest,
    ::testing::Values(
        TreeRow{"folders from the stored paths, children in byte order",
                {"B.TXT", "A\\C.TXT", "A\\B.TXT", "A\\D\\E"},
                ExtractedNames::AsStored,
                "A/ A/B.TXT=2 A/C.TXT=1 A/D/ A/D/E=3 B.TXT=0 ",
                0,
                0,
                0,
                0},
        TreeRow{"either separator, empty and '.' components dropped",
                {"A/B", "A\\\\.\\C", "A\\B"},
                ExtractedNames::AsStored,
                "A/ A/B=2 A/C=1 ",
                0,
                0,
                0,
                1},
        TreeRow{"unsafe names left out, counted",
                {"..\\X", "\\X", "/X", "C:X", "A\\..\\..\\X", "", ".", "OK"},
                ExtractedNames::AsStored,
                "OK=7 ",
                7,
                0,
                0,
                0},
        TreeRow{"the later of two entries on one path",
                {"X", "Y", "X", "X"},
                ExtractedNames::AsStored,
                "X=3 Y=1 ",
                0,
                0,
                0,
                2},
        TreeRow{"a file in the way of a later entry's folder",
                {"X", "X\\Y", "X\\Z\\W"},
                ExtractedNames::AsStored,
                "X=0 ",
                0,
                0,
                2,
                0},
        TreeRow{
            "a folder in the way of a later file", {"X\\Y", "X"}, ExtractedNames::AsStored, "X/ X/Y=0 ", 0, 0, 1, 0},
        TreeRow{"a file blocks below the folders made before it",
                {"A\\F", "A\\F\\G\\H"},
                ExtractedNames::AsStored,
                "A/ A/F=0 ",
                0,
                0,
                1,
                0},
        TreeRow{"names converted from the code page",
                {"CAF\xC9\\\xC9T\xC9.TXT"},
                ExtractedNames::AsStored,
                "CAFÉ/ CAFÉ/ÉTÉ.TXT=0 ",
                0,
                0,
                0,
                0},
        TreeRow{"lower-cased in the code page; names merged by it keep the later",
                {"CAF\xC9\\MENU.TXT", "A.TXT", "a.txt", "\x8C"},
                ExtractedNames::LowerCase,
                "a.txt=2 café/ café/menu.txt=0 œ=3 ",
                0,
                0,
                0,
                1},
        TreeRow{"a name over 255 bytes left out, below the folders made before it",
                {"A\\" + kLongName, std::string(255, 'M'), "OK", "B\\" + kLongName + "\\C"},
                ExtractedNames::AsStored,
                "A/ B/ " + std::string(255, 'M') + "=1 OK=2 ",
                0,
                2,
                0,
                0}));

TEST(FolderTree, FindsChildrenByExactNameAndCountsSubfolders) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    const FolderTree tree = buildFolderTree(entriesNamed({"A\\X", "A\\B\\Y", "A\\C\\Z", "A\\D"}));
    const std::optional<std::uint32_t> a = tree.find(FolderTree::kRoot, "A");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(tree.nodes[*a].subfolders, 2u);
    EXPECT_EQ(tree.nodes[*a].childCount, 4u);
    for (const char* name : {"B", "C", "D", "X"}) EXPECT_TRUE(tree.find(*a, name).has_value()) << name;
    for (const char* name : {"", "a", "AA", "Y", "B\\Y", "E"}) EXPECT_FALSE(tree.find(*a, name).has_value()) << name;
    EXPECT_FALSE(tree.find(FolderTree::kRoot, "X").has_value());
}

TEST(FolderTree, EmptyArchiveIsAnEmptyRoot) {
    const FolderTree tree = buildFolderTree({});
    ASSERT_EQ(tree.nodes.size(), 1u);
    EXPECT_TRUE(tree.nodes[FolderTree::kRoot].isFolder());
    EXPECT_TRUE(tree.childrenOf(FolderTree::kRoot).empty());
}

}  // namespace
}  // namespace quillomar
