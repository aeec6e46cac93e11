// Extraction below a root, hostile names and destinations, and temporary copies.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "archive/podarchive.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::exists;
using test::RawEntry;
using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr std::uint32_t kNoon2003 = 0x3EC6C54C;

class ExtractTest : public ::testing::Test {
protected:
    void load(const std::vector<RawEntry>& entries) {
        std::string path = dir / "a.pod";
        writeFile(path, test::layOutPod3(entries, "", "", "", 0));
        ASSERT_EQ(archive.open(path), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
    }

    TempDir dir;
    std::string root = dir / "out";
    test::RecordingSink sink;
    test::CountingProgress progress;
    PodArchive archive;

    void SetUp() override { ASSERT_EQ(::mkdir(root.c_str(), 0755), 0); }
};

TEST_F(ExtractTest, RecreatesFoldersDataAndTimes) {
    load({{"A\\B\\C.TXT", "deep", kNoon2003}, {"D.TXT", "top", kNoon2003}, {"A\\EMPTY", "", kNoon2003},
          {"OLD.TXT", "x", 0x102A654C}});
    writeFile(root + "/D.TXT", "an existing, longer file");
    EXPECT_EQ(archive.extractAll(root, &progress), 1);
    EXPECT_EQ(readFile(root + "/A/B/C.TXT"), "deep");
    EXPECT_EQ(readFile(root + "/D.TXT"), "top");
    EXPECT_TRUE(exists(root + "/A/EMPTY"));
    EXPECT_EQ(readFile(root + "/A/EMPTY"), "");
    EXPECT_EQ(test::modificationTime(root + "/A/B/C.TXT"), test::utc(2003, 4, 28, 12, 0, 0));
    EXPECT_GT(test::modificationTime(root + "/OLD.TXT"), test::utc(2020, 1, 1, 0, 0, 0));  // no time: left as made
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_EQ(progress.steps, 4);
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ExtractTest, EmptyArchivesTouchNothing) {
    load({});
    EXPECT_EQ(archive.extractAll(root, &progress), 1);
    EXPECT_TRUE(progress.ranges.empty());

    load({{"E1", "", 0}, {"E2", "", 0}});  // every entry empty: a copy buffer of size zero
    EXPECT_EQ(archive.extractAll(root, nullptr), 1);
    EXPECT_EQ(readFile(root + "/E2"), "");
}

TEST_F(ExtractTest, RefusesNamesThatLeaveTheRoot) {
    load({{"..\\ESCAPE.TXT", "bad", 0},
          {"SAFE\\..\\..\\ESCAPE2.TXT", "bad", 0},
          {"\\ABSOLUTE.TXT", "bad", 0},
          {"/tmp/ABSOLUTE2.TXT", "bad", 0},
          {"C:\\DRIVE.TXT", "bad", 0},
          {"GOOD.TXT", "good", 0}});
    EXPECT_EQ(archive.extractAll(root, &progress), 0);
    EXPECT_EQ(readFile(root + "/GOOD.TXT"), "good");
    EXPECT_FALSE(exists(dir / "ESCAPE.TXT"));
    EXPECT_FALSE(exists(dir.path() + "/../ESCAPE2.TXT"));
    ASSERT_EQ(sink.systemErrors.size(), 5u);
    EXPECT_EQ(sink.systemErrors[0], "Permission denied\n==> " + root + "/../ESCAPE.TXT");
    EXPECT_EQ(progress.steps, 6);
}

TEST_F(ExtractTest, NeverFollowsLinksPlantedInTheDestination) {
    TempDir outside;
    writeFile(outside / "victim.txt", "untouched");
    ASSERT_EQ(::symlink(outside.path().c_str(), (root + "/LINKDIR").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "victim.txt").c_str(), (root + "/LEAF.TXT").c_str()), 0);
    ASSERT_EQ(::link((outside / "victim.txt").c_str(), (root + "/HARD.TXT").c_str()), 0);
    load({{"LINKDIR\\VICTIM.TXT", "evil", 0}, {"LEAF.TXT", "evil", 0}, {"HARD.TXT", "new", 0}});
    EXPECT_EQ(archive.extractAll(root, nullptr), 0);
    EXPECT_EQ(readFile(outside / "victim.txt"), "untouched");
    EXPECT_EQ(readFile(root + "/HARD.TXT"), "new");  // replaced, not written through
    ASSERT_EQ(sink.systemErrors.size(), 2u);
    EXPECT_EQ(sink.systemErrors[0], "Not a directory\n==> " + root + "/LINKDIR/VICTIM.TXT");
    EXPECT_EQ(sink.systemErrors[1], "Too many levels of symbolic links\n==> " + root + "/LEAF.TXT");
}

TEST_F(ExtractTest, AFailedEntryIsReportedAndTheOthersStillLand) {
    ASSERT_EQ(::mkdir((root + "/TAKEN").c_str(), 0755), 0);
    load({{"FIRST.TXT", "1", 0}, {"TAKEN", "blocked by a folder", 0}, {"LAST.TXT", "3", 0}});
    EXPECT_EQ(archive.extractAll(root, &progress), 0);
    EXPECT_EQ(readFile(root + "/FIRST.TXT"), "1");
    EXPECT_EQ(readFile(root + "/LAST.TXT"), "3");
    ASSERT_EQ(sink.systemErrors.size(), 1u);
    EXPECT_EQ(sink.systemErrors[0], "Is a directory\n==> " + root + "/TAKEN");
    EXPECT_EQ(progress.steps, 3);
}

TEST_F(ExtractTest, SelectedEntriesOnly) {
    load({{"A.TXT", "a", 0}, {"B\\C.TXT", "c", 0}});
    EXPECT_EQ(archive.extractSelected(root, {1}, nullptr), 1);
    EXPECT_FALSE(exists(root + "/A.TXT"));
    EXPECT_EQ(readFile(root + "/B/C.TXT"), "c");
}

TEST_F(ExtractTest, TemporaryCopiesArePrivatePerEntryAndRemovedOnClose) {
    TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    load({{"A\\README.TXT", "from A", kNoon2003}, {"B\\README.TXT", "from B", kNoon2003}, {"..\\BAD", "x", 0}});
    std::optional<std::string> a = archive.writeTemporaryCopy(archive.entries()[0]);
    std::optional<std::string> b = archive.writeTemporaryCopy(archive.entries()[1]);
    std::optional<std::string> again = archive.writeTemporaryCopy(archive.entries()[0]);
    ASSERT_TRUE(a && b && again);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(*a, *again);
    EXPECT_EQ(readFile(*a), "from A");
    EXPECT_EQ(readFile(*b), "from B");
    EXPECT_EQ(a->rfind(runtime.path(), 0), 0u);
    EXPECT_EQ(archive.tempFiles().size(), 2u);
    EXPECT_FALSE(archive.writeTemporaryCopy(archive.entries()[2]).has_value());
    EXPECT_EQ(sink.systemErrors.size(), 1u);

    archive.close();
    EXPECT_FALSE(exists(*a));
    EXPECT_FALSE(exists(*b));
    // Only the user's private folder itself stays.
    EXPECT_EQ(::rmdir((runtime.path() + "/quillomar-" + std::to_string(::getuid())).c_str()), 0);
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace quillomar
