// The archive edit through its interface, for what the command-line rows cannot reach: pack's
// order for every kind of name, the plan the window shows before writing, and what the engine
// leaves after a failed write.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "packer/archiveedit.h"
#include "testutil.h"

namespace quillomar::test {
namespace {

const FileTime kTime = utc(2004, 5, 6, 7, 8, 10);

// Names whose pack order is not their byte order, in UTF-8 and upper case: punctuation around
// letters, a folder and a file of one stem, accents (sorted by their UTF-16 upper case), digits.
const std::vector<std::string> kTrickyNames = {
    "a.txt", "a/x", "a-b", "a_b", "a b", "abc", "A[1]", "b", "B~", "é", "ÿ", "z", "Ž/y", "œ", "_", "0", "9/9/9",
    "ab/c", "ab.d/e", "aa", "a!", "ß", "Æ", "ø/q",
};

std::string bytesOf(const std::string& path) { return readFile(path); }

class ArchiveEditTest : public ::testing::Test {
protected:
    void makeTree(const std::string& root, const std::vector<std::string>& names) {
        for (const std::string& name : names) writeFile(root + "/" + name, "<" + name + ">", kTime);
    }
    // The archive pack writes from root.
    std::string packed(const std::string& root, const std::string& archive) {
        EXPECT_EQ(pack(scan(root), archive), 1);
        return bytesOf(archive);
    }
    RecordingSink shown_;
    TempDir dir_;
};

// Each name in turn is left out of the packed tree and then added: the edit must put it where
// pack does, whatever the characters around it.
TEST_F(ArchiveEditTest, AddedEntryTakesPacksPlaceForEveryKindOfName) {
    makeTree(dir_ / "all", kTrickyNames);
    const std::string expected = packed(dir_ / "all", dir_ / "all.pod");
    for (const std::string& name : kTrickyNames) {
        SCOPED_TRACE(name);
        std::vector<std::string> others;
        for (const std::string& other : kTrickyNames) {
            if (other != name) others.push_back(other);
        }
        const std::string root = dir_ / ("less-" + std::to_string(&name - kTrickyNames.data()));
        makeTree(root, others);
        const std::string archive = root + ".pod";
        packed(root, archive);

        PodArchive source;
        ASSERT_EQ(source.open(archive), 1);
        ASSERT_EQ(source.readDirectory(), 1);
        ArchiveEdit edit(source);
        edit.add(dir_ / "all/" + name, name);
        const EditPlan plan = edit.plan();
        EXPECT_TRUE(plan.problems.empty());
        EXPECT_EQ(plan.added, 1u);
        EXPECT_EQ(plan.archiveSize, expected.size());
        ASSERT_FALSE(edit.write(nullptr).failed());
        EXPECT_TRUE(bytesOf(archive) == expected);
    }
    EXPECT_EQ(shown_.count(), 0u);
}

// What the window asks before a drop: how many entries it would replace; and after the write
// the archive, read again, holds the new bytes under the old names.
TEST_F(ArchiveEditTest, PlanCountsReplacedEntriesBeforeWriting) {
    makeTree(dir_ / "tree", {"art/one.pbm", "art/two.pbm", "readme.txt"});
    const std::string archive = dir_ / "a.pod";
    packed(dir_ / "tree", archive);
    writeFile(dir_ / "drop/art/one.pbm", "new one", kTime);
    writeFile(dir_ / "drop/art/two.pbm", "new two", kTime);
    writeFile(dir_ / "drop/art/three.pbm", "three", kTime);

    PodArchive source;
    ASSERT_EQ(source.open(archive), 1);
    ASSERT_EQ(source.readDirectory(), 1);
    const std::string before = bytesOf(archive);
    ArchiveEdit edit(source);
    edit.add(dir_ / "drop/art", "art");
    const EditPlan plan = edit.plan();
    EXPECT_EQ(plan.replaced, 2u);
    EXPECT_EQ(plan.added, 1u);
    EXPECT_EQ(plan.entryCount, 4u);
    EXPECT_EQ(bytesOf(archive), before) << "planning wrote";

    struct Counter : ProgressSink {
        int high = -1, steps = 0;
        void setRange(int, int h) override { high = h; }
        void step() override { ++steps; }
    } progress;
    ASSERT_FALSE(edit.write(&progress).failed());
    EXPECT_EQ(progress.high, 4);
    EXPECT_EQ(progress.steps, 4);
    ASSERT_EQ(source.open(archive), 1);
    ASSERT_EQ(source.readDirectory(), 1);
    EXPECT_EQ(storedNames(archive), (std::vector<std::string>{"ART\\ONE.PBM", "ART\\THREE.PBM", "ART\\TWO.PBM",
                                                              "README.TXT"}));
    std::string data(7, '\0');
    ASSERT_EQ(source.readEntryData(source.entries()[0], 0, std::as_writable_bytes(std::span(data))), 7);
    EXPECT_EQ(data, "new one");
}

// A file that shrank after it was added cannot be stored as planned: the write fails with its
// path, the archive stays as it was and nothing is left beside it.
TEST_F(ArchiveEditTest, FileCutAfterPlanningLeavesArchiveWhole) {
    makeTree(dir_ / "tree", {"a.txt", "b.txt"});
    const std::string archive = dir_ / "a.pod";
    const std::string before = packed(dir_ / "tree", archive);
    writeFile(dir_ / "new.bin", std::string(5000, 'n'), kTime);

    PodArchive source;
    ASSERT_EQ(source.open(archive), 1);
    ASSERT_EQ(source.readDirectory(), 1);
    ArchiveEdit edit(source);
    edit.add(dir_ / "new.bin", "c.bin");
    writeFile(dir_ / "new.bin", "short", kTime);
    const Failure failed = edit.write(nullptr);
    EXPECT_TRUE(failed.failed());
    EXPECT_EQ(failed.path, dir_ / "new.bin");
    EXPECT_EQ(bytesOf(archive), before);
    EXPECT_EQ(listTree(dir_.path(), true),
              (std::vector<std::string>{"a.pod", "new.bin", "tree/a.txt", "tree/b.txt"}));
    EXPECT_EQ(shown_.count(), 0u) << "the engine showed a message itself";
}

}  // namespace
}  // namespace quillomar::test
