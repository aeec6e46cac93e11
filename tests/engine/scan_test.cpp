// The folder scan and the content log.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "packer/contentlog.h"
#include "packer/sourcelist.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::TempDir;
using test::writeFile;

class ScanTest : public ::testing::Test {
protected:
    SourceList scan(const std::string& folder) { return test::scan(folder, &progress); }
    std::vector<std::string> relativeNames(const SourceList& list) {
        std::vector<std::string> names;
        for (const SourceFile& f : list.files)
            names.push_back(f.name.substr(static_cast<std::size_t>(list.prefixLength)));
        return names;
    }

    TempDir dir;
    test::CountingProgress progress;
};

TEST_F(ScanTest, WalksDepthFirstInNtfsOrder) {
    writeFile(dir / "z.txt", "zz");
    writeFile(dir / "sub/b.txt", "b");
    writeFile(dir / "a.txt", "");
    writeFile(dir / "B.txt", "bbb");
    writeFile(dir / ".hidden", "h");
    writeFile(dir / "sub_/c", "c");
    SourceList list = scan(dir.path());
    // Ordinal order of upper-cased names: '.' < 'A' < 'B' < 'S'; "SUB" < "SUB_" < "Z.TXT".
    EXPECT_EQ(relativeNames(list),
              (std::vector<std::string>{".hidden", "a.txt", "B.txt", "sub/b.txt", "sub_/c", "z.txt"}));
    EXPECT_EQ(list.files[1].name, dir.path() + "/a.txt");
    EXPECT_EQ(list.subfolderCount, 2);
    EXPECT_EQ(list.totalBytes, 8u);
    EXPECT_EQ(list.largestSize, 3u);
    EXPECT_EQ(progress.steps, 3);
}

// A folder named with trailing separators, as file managers hand over a dropped folder, gives the
// same paths and the same names below it as the folder named without them.
class TrailingSeparators : public ScanTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TrailingSeparators, GiveTheSameNamesAsWithout) {
    writeFile(dir / "src/alpha.txt", "a");
    writeFile(dir / "src/b/c.txt", "c");
    SourceList plain = scan(dir / "src");
    SourceList trailing = scan(dir / "src" + GetParam());
    EXPECT_EQ(relativeNames(trailing), (std::vector<std::string>{"alpha.txt", "b/c.txt"}));
    EXPECT_EQ(relativeNames(trailing), relativeNames(plain));
    EXPECT_EQ(trailing.files[0].name, dir / "src" + GetParam() + "alpha.txt");
}

INSTANTIATE_TEST_SUITE_P(Scan, TrailingSeparators, ::testing::Values("/", "//"),
                         [](const auto& row) { return std::to_string(std::string(row.param).size()) + "Separators"; });

TEST_F(ScanTest, TheRootKeepsEveryCharacterOfTheNamesBelowIt) {
    SourceList list;
    list.resetScan("/");
    EXPECT_EQ(list.prefixLength, 1);  // "/bin/x" is stored as BIN\X
    list.resetScan("/a");
    EXPECT_EQ(list.prefixLength, 3);  // "/a/x" is stored as X
}

TEST_F(ScanTest, EmptyFoldersAreCountedAndStepped) {
    ASSERT_EQ(::mkdir((dir / "a").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "a/b").c_str(), 0755), 0);
    SourceList list = scan(dir.path());
    EXPECT_TRUE(list.files.empty());
    EXPECT_EQ(list.subfolderCount, 2);
    EXPECT_EQ(list.totalBytes, 0u);
    EXPECT_EQ(progress.steps, 3);

    SourceList missing = scan(dir / "nowhere");
    EXPECT_TRUE(missing.files.empty());
    EXPECT_EQ(progress.steps, 4);  // a folder that cannot be listed still steps the bar
}

TEST_F(ScanTest, SizesAreSummedIn64BitsAndKeptTo32BitsEach) {
    // Sparse files: 2.5 GiB and 4 GiB + 7 bytes.
    for (auto [name, size] : {std::pair{"a", 0xA0000000LL}, std::pair{"b", 0x100000007LL}}) {
        writeFile(dir / name, "");
        ASSERT_EQ(::truncate((dir / name).c_str(), size), 0);
    }
    SourceList list = scan(dir.path());
    ASSERT_EQ(list.files.size(), 2u);
    EXPECT_EQ(list.files[1].size, 7u);
    EXPECT_EQ(list.files[1].diskSize, 0x100000007ULL);
    EXPECT_EQ(list.totalBytes, 0xA0000007ULL);
    EXPECT_EQ(list.largestSize, 0xA0000000u);
}

TEST_F(ScanTest, FollowsLinkedFoldersButNeverLoops) {
    writeFile(dir / "real/f.txt", "f");
    ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "linked").c_str()), 0);
    ASSERT_EQ(::symlink("..", (dir / "real/up").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "real/pipe").c_str(), 0600), 0);
    SourceList list = scan(dir.path());
    // "linked" and "real" are each entered once; "up" leads back onto the current path.
    EXPECT_EQ(relativeNames(list), (std::vector<std::string>{"linked/f.txt", "real/f.txt"}));
    EXPECT_EQ(list.subfolderCount, 2);
}

TEST_F(ScanTest, ContentLogListsEveryPathWithCrLf) {
    writeFile(dir / "src/a.txt", "a");
    writeFile(dir / "src/sub/é.dat", "b");
    SourceList list = scan(dir / "src");
    std::string log = dir / "src/my_pod_name.txt";
    writeFile(log, "an older, longer log that must disappear entirely");
    test::RecordingSink sink;
    EXPECT_FALSE(writeContentLog(log, list).failed());
    EXPECT_EQ(test::readFile(log), dir / "src/a.txt\r\n" + dir / "src/sub/é.dat\r\n");
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ScanTest, ContentLogFailuresAreReturnedWithTheLogsPath) {
    writeFile(dir / "src/a.txt", "a");
    SourceList list = scan(dir / "src");
    test::RecordingSink sink;
    const Failure missing = writeContentLog(dir / "no/such/folder/log.txt", list);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.path, dir / "no/such/folder/log.txt");

    // A full disk: the cut log is removed.
    for (int i = 0; i < 2000; ++i) list.files.push_back(list.files[0]);
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Failure cut = writeContentLog(dir / "log.txt", list);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(cut.error, EFBIG);
    EXPECT_EQ(cut.path, dir / "log.txt");
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(test::exists(dir / "log.txt"));
    EXPECT_EQ(sink.count(), 0u);  // what the user sees is the caller's choice
}

}  // namespace
}  // namespace quillomar
