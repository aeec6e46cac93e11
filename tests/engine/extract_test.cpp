// Extraction below a root, hostile names and destinations, and temporary copies.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

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
    test::ReportingObserver shown{&archive};
    Result<Extracted> last = Extracted{};  // the last extraction checked by complete()

    // Whether an extraction could start and every entry landed; keeps its outcome in last.
    bool complete(Result<Extracted> done) {
        last = std::move(done);
        return last && last->complete();
    }

    void SetUp() override { ASSERT_EQ(::mkdir(root.c_str(), 0755), 0); }
};

TEST_F(ExtractTest, RecreatesFoldersDataAndTimes) {
    load({{"A\\B\\C.TXT", "deep", kNoon2003},
          {"D.TXT", "top", kNoon2003},
          {"A\\EMPTY", "", kNoon2003},
          {"OLD.TXT", "x", 0x102A654C}});
    writeFile(root + "/D.TXT", "an existing, longer file");
    EXPECT_TRUE(complete(archive.extractAll(root, shown, &progress)));
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
    EXPECT_TRUE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_TRUE(progress.ranges.empty());

    load({{"E1", "", 0}, {"E2", "", 0}});  // every entry empty: a copy buffer of size zero
    EXPECT_TRUE(complete(archive.extractAll(root, shown, nullptr)));
    EXPECT_EQ(readFile(root + "/E2"), "");
}

TEST_F(ExtractTest, RefusesNamesThatLeaveTheRoot) {
    load({{"..\\ESCAPE.TXT", "bad", 0},
          {"SAFE\\..\\..\\ESCAPE2.TXT", "bad", 0},
          {"\\ABSOLUTE.TXT", "bad", 0},
          {"/tmp/ABSOLUTE2.TXT", "bad", 0},
          {"C:\\DRIVE.TXT", "bad", 0},
          {"GOOD.TXT", "good", 0}});
    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
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
    ASSERT_EQ(::symlink((outside / "made.txt").c_str(), (root + "/DANGLING.TXT").c_str()), 0);
    ASSERT_EQ(::mkdir((root + "/REAL").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(outside.path().c_str(), (root + "/REAL/DEEP").c_str()), 0);
    ASSERT_EQ(::link((outside / "victim.txt").c_str(), (root + "/HARD.TXT").c_str()), 0);
    load({{"LINKDIR\\VICTIM.TXT", "evil", 0},
          {"LEAF.TXT", "evil", 0},
          {"DANGLING.TXT", "evil", 0},
          {"REAL\\DEEP\\VICTIM.TXT", "evil", 0},
          {"REAL\\OK.TXT", "ok", 0},
          {"HARD.TXT", "new", 0}});
    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_EQ(readFile(outside / "victim.txt"), "untouched");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside.path()), {}), 1);  // nothing made there
    EXPECT_EQ(readFile(root + "/HARD.TXT"), "new");  // replaced, not written through
    EXPECT_EQ(readFile(root + "/REAL/OK.TXT"), "ok");
    EXPECT_EQ(sink.systemErrors,
              (std::vector<std::string>{"Not a directory\n==> " + root + "/LINKDIR/VICTIM.TXT",
                                        "Too many levels of symbolic links\n==> " + root + "/LEAF.TXT",
                                        "Too many levels of symbolic links\n==> " + root + "/DANGLING.TXT",
                                        "Not a directory\n==> " + root + "/REAL/DEEP/VICTIM.TXT"}));
    EXPECT_EQ(progress.steps, 6);
}

TEST_F(ExtractTest, AFailedEntryIsReportedAndTheOthersStillLand) {
    ASSERT_EQ(::mkdir((root + "/TAKEN").c_str(), 0755), 0);
    load({{"FIRST.TXT", "1", 0}, {"TAKEN", "blocked by a folder", 0}, {"LAST.TXT", "3", 0}});
    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_EQ(readFile(root + "/FIRST.TXT"), "1");
    EXPECT_EQ(readFile(root + "/LAST.TXT"), "3");
    ASSERT_EQ(sink.systemErrors.size(), 1u);
    EXPECT_EQ(sink.systemErrors[0], "Is a directory\n==> " + root + "/TAKEN");
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(last->firstFailure.error, EISDIR);
    EXPECT_EQ(last->firstFailure.path, root + "/TAKEN");

    // The next run that does everything leaves an empty record.
    EXPECT_TRUE(complete(archive.extractSelected(root, {0}, shown, nullptr)));
    EXPECT_FALSE(last->firstFailure.failed());
}

// An existing file keeps its old bytes unless the whole new one takes its place; no temporary
// name stays behind, and what a killed run left in the folder is swept.
TEST_F(ExtractTest, ExistingFilesKeepTheirContentUnlessReplacedWhole) {
    pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string leftover = root + "/.quillomar-" + std::to_string(ended) + "-12345678-7";
    writeFile(leftover, "cut by a kill");
    writeFile(root + "/READONLY.TXT", "read-only");
    ASSERT_EQ(::chmod((root + "/READONLY.TXT").c_str(), 0444), 0);
    writeFile(root + "/BIG.BIN", "old big");
    writeFile(root + "/SMALL.TXT", "old small");
    load({{"READONLY.TXT", "new", 0},
          {"NEW.TXT", "whole", 0},
          {"BIG.BIN", std::string(3 << 20, 'b'), 0},
          {"SMALL.TXT", "new small", 0}});
    // The archive loses its end after its directory was read: the last two entries come up short.
    ASSERT_EQ(::truncate((dir / "a.pod").c_str(), kPod3HeaderSize + 3 + 5 + 1000), 0);

    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_EQ(readFile(root + "/READONLY.TXT"), "read-only");  // for root as well
    EXPECT_EQ(readFile(root + "/NEW.TXT"), "whole");
    EXPECT_EQ(readFile(root + "/BIG.BIN"), "old big");
    EXPECT_EQ(readFile(root + "/SMALL.TXT"), "old small");
    EXPECT_EQ(sink.systemErrors, (std::vector<std::string>{"Permission denied\n==> " + root + "/READONLY.TXT",
                                                           "No data available\n==> " + dir / "a.pod",
                                                           "No data available\n==> " + dir / "a.pod"}));
    EXPECT_FALSE(exists(leftover));
    std::size_t names = 0;
    for (const auto& item : std::filesystem::directory_iterator(root)) {
        EXPECT_FALSE(item.path().filename().string().starts_with(".quillomar-")) << item.path();
        ++names;
    }
    EXPECT_EQ(names, 4u);
}

// The extraction shows nothing itself: a root it cannot use comes back to the caller, with
// nothing written, and an empty selection does nothing at all.
TEST_F(ExtractTest, ARootThatCannotBeUsedIsReturnedNotShown) {
    load({{"A.TXT", "a", 0}});
    const std::string missing = dir / "missing";
    test::RecordingSink quiet;
    const Result<Extracted> refused = archive.extractAll(missing, shown, &progress);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().error, ENOENT);
    EXPECT_EQ(refused.failure().path, missing);
    EXPECT_EQ(quiet.count(), 0u);
    EXPECT_FALSE(exists(missing));

    const Result<Extracted> nothing = archive.extractSelected(missing, {}, shown, &progress);
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->files, 0u);
    EXPECT_TRUE(nothing->complete());
}

// Runs of small entries are read ahead together; any order of selection gives the same files.
TEST_F(ExtractTest, SelectionInAnyOrderAcrossSmallAndLargeEntries) {
    std::vector<RawEntry> entries;
    for (int i = 0; i < 40; ++i) {
        const std::size_t size = i % 9 == 0 ? (std::size_t{1} << 20) + 7 * i : 1000 * i;
        entries.push_back({"F\\" + std::to_string(i), std::string(size, static_cast<char>('a' + i % 26)), 0});
    }
    load(entries);
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < 40; ++i) order.push_back(i < 20 ? i : 59 - i);  // in place, then backwards
    EXPECT_TRUE(complete(archive.extractSelected(root, order, shown, nullptr)));
    for (const RawEntry& entry : entries) {
        EXPECT_TRUE(readFile(root + "/F/" + entry.name.substr(2)) == entry.data) << entry.name;
    }
    EXPECT_EQ(sink.count(), 0u);
}

// Many entries, read ahead in runs: reports, replacements and progress come in the entries'
// order, and no temporary name stays.
TEST_F(ExtractTest, ManyEntriesAreNamedAndReportedInTheirOrder) {
    ASSERT_EQ(::mkdir((root + "/TAKEN1").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/TAKEN2").c_str(), 0755), 0);
    writeFile(root + "/LOCKED.TXT", "kept");
    ASSERT_EQ(::chmod((root + "/LOCKED.TXT").c_str(), 0444), 0);
    std::vector<RawEntry> entries;
    for (int i = 0; i < 100; ++i) entries.push_back({"D\\F" + std::to_string(i), std::string(100 + i, 'a'), kNoon2003});
    entries[10] = {"SAME.TXT", "first", kNoon2003};
    entries[70] = {"SAME.TXT", "second, later", kNoon2003};
    entries[20] = {"TAKEN2", "blocked", kNoon2003};
    entries[40] = {"TAKEN1", "blocked", kNoon2003};
    entries[60] = {"LOCKED.TXT", "new", kNoon2003};
    load(entries);

    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_EQ(sink.systemErrors, (std::vector<std::string>{"Is a directory\n==> " + root + "/TAKEN2",
                                                           "Is a directory\n==> " + root + "/TAKEN1",
                                                           "Permission denied\n==> " + root + "/LOCKED.TXT",
                                                           "File exists\n==> SAME.TXT"}));
    EXPECT_EQ(sink.details, (std::vector<std::string>{"SAME.TXT: written over by a later entry: SAME.TXT"}));
    EXPECT_EQ(last->firstFailure.path, root + "/TAKEN2");  // the first that failed
    EXPECT_EQ(readFile(root + "/SAME.TXT"), "second, later");
    EXPECT_EQ(readFile(root + "/LOCKED.TXT"), "kept");
    for (int i : {0, 11, 50, 99}) EXPECT_EQ(readFile(root + "/D/F" + std::to_string(i)), std::string(100 + i, 'a'));
    EXPECT_EQ(test::modificationTime(root + "/D/F99"), test::utc(2003, 4, 28, 12, 0, 0));
    EXPECT_EQ(progress.steps, 100);
    EXPECT_EQ(last->files, 97u);
    std::size_t names = 0;
    for (const auto& item : std::filesystem::directory_iterator(root / std::filesystem::path("D"))) {
        EXPECT_FALSE(item.path().filename().string().starts_with(".quillomar-")) << item.path();
        ++names;
    }
    EXPECT_EQ(names, 95u);
}

// Large extractions are shared between two threads: what each reports still comes in entry order,
// and names that only keep their meaning in order (a file where a later entry needs a folder,
// in any case) are extracted in order, on one thread.
TEST_F(ExtractTest, ManyEntriesOnTwoThreadsReportInEntryOrder) {
    ASSERT_EQ(::mkdir((root + "/A").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/A/F7").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/B").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/B/F180").c_str(), 0755), 0);
    std::vector<RawEntry> entries;
    for (int i = 0; i < 200; ++i) {
        entries.push_back({std::string(i < 100 ? "A" : "B") + "\\F" + std::to_string(i), std::to_string(1000 + i), kNoon2003});
    }
    load(entries);
    EXPECT_FALSE(complete(archive.extractAll(root, shown, &progress)));
    EXPECT_EQ(sink.systemErrors,
              (std::vector<std::string>{"Is a directory\n==> " + root + "/A/F7", "Is a directory\n==> " + root + "/B/F180"}));
    EXPECT_EQ(progress.steps, 200);
    EXPECT_EQ(last->files, 198u);
    for (int i : {0, 99, 100, 199}) {
        EXPECT_EQ(readFile(root + (i < 100 ? "/A/F" : "/B/F") + std::to_string(i)), std::to_string(1000 + i));
    }

    TempDir other;
    // Equal sizes: the halves meet between these two.
    entries[99] = {"A\\X", "1099", kNoon2003};
    entries[100] = {"A\\X\\late", "1100", kNoon2003};
    load(entries);
    sink.systemErrors.clear();
    EXPECT_FALSE(complete(archive.extractAll(other.path(), shown, nullptr)));
    EXPECT_EQ(sink.systemErrors, std::vector<std::string>{"Not a directory\n==> " + other / "A/X/late"});
}

// Entries that go back and forth between more folders than stay open: each lands in its own.
TEST_F(ExtractTest, EntriesScatteredOverManyFoldersLandInTheirOwn) {
    std::vector<RawEntry> entries;
    for (int i = 0; i < 300; ++i) {
        entries.push_back({"D" + std::to_string(i % 75) + "\\E\\F" + std::to_string(i), std::to_string(i), kNoon2003});
    }
    load(entries);
    EXPECT_TRUE(complete(archive.extractAll(root, shown, nullptr)));
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(readFile(root + "/D" + std::to_string(i % 75) + "/E/F" + std::to_string(i)), std::to_string(i));
    }
}

TEST_F(ExtractTest, TemporaryCopiesArePrivatePerEntryAndRemovedOnClose) {
    TempDir runtime;
    test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().c_str());
    load({{"A\\README.TXT", "from A", kNoon2003}, {"B\\README.TXT", "from B", kNoon2003}, {"..\\BAD", "x", 0}});
    Result<std::string> a = archive.writeTemporaryCopy(archive.entries()[0]);
    Result<std::string> b = archive.writeTemporaryCopy(archive.entries()[1]);
    Result<std::string> again = archive.writeTemporaryCopy(archive.entries()[0]);
    ASSERT_TRUE(a && b && again);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(*a, *again);
    EXPECT_EQ(readFile(*a), "from A");
    EXPECT_EQ(readFile(*b), "from B");
    EXPECT_EQ(a->rfind(runtime.path(), 0), 0u);
    EXPECT_EQ(archive.tempFiles().size(), 2u);
    const Result<std::string> refused = archive.writeTemporaryCopy(archive.entries()[2]);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().error, EACCES);
    EXPECT_EQ(sink.count(), 0u);  // the caller shows it

    archive.close();
    EXPECT_FALSE(exists(*a));
    EXPECT_FALSE(exists(*b));
    // Only the user's private folder itself stays.
    EXPECT_EQ(::rmdir((runtime.path() + "/quillomar-" + std::to_string(::getuid())).c_str()), 0);
}

}  // namespace
}  // namespace quillomar

namespace quillomar {
namespace {

// What an extraction told its caller.
struct RecordingObserver : ExtractionObserver {
    void largeOutput(std::uint64_t total, std::uint64_t archiveBytes) override {
        large.emplace_back(total, archiveBytes);
    }
    void failed(const Failure& failure) override { failures.push_back(failure.path); }
    void overwritten(std::size_t entry) override { replaced.push_back(entry); }
    void stopped(const Failure&, std::size_t, std::size_t) override { ++stops; }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> large;
    std::vector<std::string> failures;
    std::vector<std::size_t> replaced;
    int stops = 0;
};

class ExtractOverwriteTest : public ExtractTest {};

TEST_F(ExtractOverwriteTest, EachEntryALaterOneReplacedIsToldAndTheLaterWins) {
    load({{"ok.txt", "one", kNoon2003},
          {"A\\B.TXT", "first", kNoon2003},
          {"OK.TXT", "two", kNoon2003},
          {"A\\.\\B.TXT", "second", kNoon2003},
          {"Ok.Txt", "three", kNoon2003},
          {"..\\X", "refused", kNoon2003},
          {"..\\X", "refused", kNoon2003}});
    const std::vector<std::size_t> all{0, 1, 2, 3, 4, 5, 6};

    RecordingObserver asStored;
    EXPECT_FALSE(complete(archive.extractSelected(root, all, asStored, nullptr, ExtractedNames::AsStored)));
    EXPECT_EQ(asStored.replaced, (std::vector<std::size_t>{1}));  // names equal but for case stay apart here
    EXPECT_EQ(asStored.failures.size(), 2u);                       // the refused ones replace nothing
    EXPECT_EQ(readFile(root + "/A/B.TXT"), "second");
    EXPECT_EQ(last->overwritten, 1u);
    EXPECT_EQ(sink.count(), 0u);  // the observer decides what the user sees

    // Lower-cased, the three spellings are one path: the last wins, the two before are told.
    RecordingObserver lowered;
    const std::string low = dir / "low";
    ASSERT_EQ(::mkdir(low.c_str(), 0755), 0);
    EXPECT_FALSE(complete(archive.extractSelected(low, all, lowered, nullptr, ExtractedNames::LowerCase)));
    EXPECT_EQ(lowered.replaced, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(readFile(low + "/ok.txt"), "three");

    // An entry whose later namesake failed is still there on disk, and is not told.
    RecordingObserver blocked;
    const std::string third = dir / "third";
    test::makeFolder(third + "/A/B.TXT");
    EXPECT_FALSE(complete(archive.extractSelected(third, {1, 3}, blocked, nullptr, ExtractedNames::AsStored)));
    EXPECT_TRUE(blocked.replaced.empty());
    EXPECT_EQ(blocked.failures.size(), 2u);

    // Shown as the command line shows it: each a message of its own, naming the entry.
    const std::string fourth = dir / "fourth";
    ASSERT_EQ(::mkdir(fourth.c_str(), 0755), 0);
    EXPECT_TRUE(complete(archive.extractSelected(fourth, {1, 3}, shown, nullptr)));
    ASSERT_EQ(sink.details.size(), 1u);
    EXPECT_NE(sink.details[0].find("written over by a later entry: A/B.TXT"), std::string::npos);
}

TEST_F(ExtractOverwriteTest, SharedDataWarnsBeforeWritingMoreThanAHundredTimesTheArchive) {
    // 600 entries all pointing at one 4 KiB range: the archive is small, the output is not.
    std::vector<RawEntry> entries{{"DATA", std::string(4096, 'd'), kNoon2003}};
    for (int i = 0; i < 599; ++i) entries.push_back({"COPY" + std::to_string(i), "", kNoon2003});
    std::string bytes = test::layOutPod3(entries, "", "", "", 0);
    const std::uint32_t directory = test::getLe32(bytes, 264);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        test::putLe32(bytes, directory + 20 * i + 4, 4096);                                   // size
        test::putLe32(bytes, directory + 20 * i + 8, test::getLe32(bytes, directory + 8));  // DATA's offset
    }
    writeFile(dir / "shared.pod", bytes);
    ASSERT_EQ(archive.open(dir / "shared.pod"), 1);
    ASSERT_EQ(archive.readDirectory(), 1);

    RecordingObserver observer;
    EXPECT_TRUE(complete(archive.extractAll(root, observer, nullptr)));
    ASSERT_EQ(observer.large.size(), 1u);
    EXPECT_EQ(observer.large[0].first, 600u * 4096u);
    EXPECT_EQ(observer.large[0].second, bytes.size());
    EXPECT_EQ(readFile(root + "/COPY598"), std::string(4096, 'd'));  // a warning: the extraction goes on

    // A selection small enough is no warning.
    RecordingObserver few;
    EXPECT_TRUE(complete(archive.extractSelected(root, {0, 1}, few, nullptr, ExtractedNames::AsStored)));
    EXPECT_TRUE(few.large.empty());
}

}  // namespace
}  // namespace quillomar
