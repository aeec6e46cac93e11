// Faults injected into the writer, the content log and extraction: full disks, source files that
// change or cannot be read, read-only destinations, planted links, and a temporary folder in
// other hands. Each ends in the program's own message (the system's text, "\n==> " and the path),
// with no success claimed, nothing lost and no partial file left behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "archive/podarchive.h"
#include "hardening.h"
#include "packer/contentlog.h"
#include "packer/sourcelist.h"
#include "platform/syserror.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::exists;
using test::FileSizeLimit;
using test::Notes;
using test::pack;
using test::RawEntry;
using test::readFile;
using test::scan;
using test::storedNames;
using test::TempDir;
using test::writeFile;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kNoon2003 = 0x3EC6C54C;

// What showSystemError shows for error and path.
std::string message(int error, const std::string& path) { return systemErrorText(error) + "\n==> " + path; }

Strings listing(const std::string& folder) { return test::listTree(folder); }

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
        writeFile(victim, "untouched");
    }

    // A hand-laid POD3 archive, opened and read.
    void load(const std::vector<RawEntry>& entries) {
        writeFile(podPath, test::layOutPod3(entries, "", "", "", 0));
        ASSERT_EQ(archive.open(podPath), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
    }

    TempDir dir;
    std::string source = dir / "src";
    std::string root = dir / "out";
    std::string outside = dir / "outside";
    std::string victim = outside + "/victim.txt";
    std::string podPath = dir / "in.pod";
    PodArchive archive;
    test::CountingProgress progress;
};

// Full disks ---------------------------------------------------------------------------------

TEST_F(Faults, WriterStoppedByAFullDiskAtAnyByteLeavesNoArchive) {
    const FileTime noon = test::utc(2003, 4, 28, 12, 0, 0);
    writeFile(source + "/a.txt", "0123456789", noon);
    writeFile(source + "/empty", "", noon);
    writeFile(source + "/sub/b.txt", "bbbbb", noon);
    const SourceList list = scan(source);
    ASSERT_EQ(pack(list, dir / "whole.pod"), 1);
    const std::string whole = readFile(dir / "whole.pod");

    // Every byte of the header, the data, the directory and the names in turn is the first that
    // does not fit.
    for (std::size_t limit = 0; limit < whole.size(); ++limit) {
        const std::string path = dir / ("cut" + std::to_string(limit) + ".pod");
        test::RecordingSink sink;
        int result = 0;
        {
            FileSizeLimit cap(limit);
            result = pack(list, path);
        }
        EXPECT_EQ(result, 0) << "limit " << limit;
        EXPECT_FALSE(exists(path)) << "limit " << limit;
        EXPECT_EQ(sink.systemErrors, Strings{message(EFBIG, path)}) << "limit " << limit;
        if (HasFailure()) break;
    }
    int result = 0;
    {
        FileSizeLimit cap(whole.size());
        result = pack(list, dir / "fits.pod");
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(readFile(dir / "fits.pod"), whole);
}

TEST_F(Faults, ExtractionStoppedByAFullDiskRemovesTheCutFileAndGoesOn) {
    load({{"A.TXT", "a", kNoon2003}, {"BIG.BIN", std::string(256 * 1024, 'b'), kNoon2003}, {"C.TXT", "c", kNoon2003}});
    test::RecordingSink sink;
    int result = 0;
    {
        FileSizeLimit cap(64 * 1024);
        result = archive.extractAll(root, &progress);
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sink.systemErrors, Strings{message(EFBIG, root + "/BIG.BIN")});
    EXPECT_EQ(listing(root), (Strings{"A.TXT", "C.TXT"}));
    EXPECT_EQ(readFile(root + "/C.TXT"), "c");
    EXPECT_EQ(progress.steps, 3);
}

// The same on a real full file system: a tmpfs of 64 KiB mounted for the child alone.
class FullFileSystem : public Faults {
protected:
    void SetUp() override {
        Faults::SetUp();
        ASSERT_EQ(::mkdir(small.c_str(), 0755), 0);
    }
    std::optional<test::Outcome> run(const std::function<int(Notes&)>& act) {
        return test::runInChild(act, [this] { return test::mountSmallFileSystem(small, 64 * 1024); });
    }
    std::string small = dir / "small";
};

TEST_F(FullFileSystem, WriterReportsNoSpaceAndLeavesNoArchive) {
    writeFile(source + "/a.txt", "alpha");
    writeFile(source + "/big.bin", std::string(256 * 1024, 'x'));
    const SourceList list = scan(source);
    const std::string path = small + "/out.pod";
    auto outcome = run([&](Notes& notes) {
        int result = pack(list, path);
        notes = listing(small);
        return result;
    });
    if (!outcome) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_EQ(outcome->result, 0);
    EXPECT_EQ(outcome->systemErrors, Strings{message(ENOSPC, path)});
    EXPECT_TRUE(outcome->notes.empty()) << outcome->notes[0];
}

TEST_F(FullFileSystem, ContentLogReportsNoSpaceAndLeavesNoCutLog) {
    SourceList list;
    for (int i = 0; i < 2000; ++i)
        list.files.push_back(SourceFile{source + "/" + std::string(60, 'n') + std::to_string(i)});
    const std::string log = small + "/my_pod_name.txt";
    auto outcome = run([&](Notes& notes) {
        static_cast<void>(writeContentLog(log, list));  // its message is what the test reads
        notes = listing(small);
        return 0;
    });
    if (!outcome) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_EQ(outcome->systemErrors, Strings{message(ENOSPC, log)});
    EXPECT_TRUE(outcome->notes.empty());
}

// No space is what every later entry would meet too: one report with the count, in the program's
// language (from its string table), and no cut file.
TEST_F(FullFileSystem, ExtractionStopsAtNoSpaceWithOneReportCountingWhatIsLeft) {
    load({{"A.TXT", "a", kNoon2003},
          {"BIG.BIN", std::string(256 * 1024, 'b'), kNoon2003},
          {"C.TXT", "c", kNoon2003},
          {"D.TXT", "d", kNoon2003}});
    auto outcome = run([&](Notes& notes) {
        int result = archive.extractAll(small, &progress);
        notes = listing(small);
        notes.push_back(std::to_string(progress.steps) + " steps");
        test::RecordingSink french;
        french.texts[kMsgEntriesNotExtracted] = "%1 entrées sur %2 non extraites";
        static_cast<void>(archive.extractAll(small, nullptr));
        notes.insert(notes.end(), french.systemErrors.begin(), french.systemErrors.end());
        return result;
    });
    if (!outcome) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_EQ(outcome->result, 0);
    EXPECT_EQ(outcome->systemErrors, Strings{message(ENOSPC, small + "/BIG.BIN\n3 of 4 entries not extracted")});
    EXPECT_EQ(outcome->notes,
              (Strings{"A.TXT", "1 steps", message(ENOSPC, small + "/BIG.BIN\n3 entrées sur 4 non extraites")}));
}

// Source files that change or cannot be read ---------------------------------------------------

TEST_F(Faults, SourceFileReplacedByAPipeIsReportedNotWaitedOn) {
    writeFile(source + "/a.txt", "alpha");
    writeFile(source + "/b.txt", "bravo");
    writeFile(source + "/c", "charlie");
    const SourceList list = scan(source);
    ASSERT_EQ(::unlink((source + "/b.txt").c_str()), 0);
    ASSERT_EQ(::mkfifo((source + "/b.txt").c_str(), 0644), 0);
    ASSERT_EQ(::unlink((source + "/c").c_str()), 0);
    ASSERT_EQ(::mkdir((source + "/c").c_str(), 0755), 0);
    const std::string path = dir / "out.pod";
    auto outcome = test::runInChild([&](Notes&) {
        ::alarm(30);  // a writer waiting for the pipe's other end dies here instead of hanging the tests
        return pack(list, path);
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, 1);
    EXPECT_EQ(outcome->systemErrors, (Strings{message(EINVAL, source + "/b.txt"), message(EISDIR, source + "/c")}));
    EXPECT_EQ(storedNames(path), Strings{"A.TXT"});
}

TEST_F(Faults, UnreadableSourceFileIsReportedAndLeftOut) {
    writeFile(source + "/a.txt", "alpha");
    writeFile(source + "/secret.txt", "secret");
    writeFile(source + "/z.txt", "zulu");
    test::giveToNobody(dir.path());
    ASSERT_EQ(::chmod((source + "/secret.txt").c_str(), 0), 0);
    const std::string path = dir / "out.pod";
    auto outcome = test::runInChild([&](Notes&) { return pack(scan(source), path); }, test::dropPrivileges);
    ASSERT_TRUE(outcome) << "cannot drop to an unprivileged user";
    EXPECT_EQ(outcome->result, 1);
    EXPECT_EQ(outcome->systemErrors, Strings{message(EACCES, source + "/secret.txt")});
    EXPECT_EQ(storedNames(path), (Strings{"A.TXT", "Z.TXT"}));
}

TEST_F(Faults, UnreadableFoldersAreReportedAndTheirFilesNotClaimed) {
    writeFile(source + "/a.txt", "alpha");
    writeFile(source + "/closed/b.txt", "bravo");          // cannot be listed
    writeFile(source + "/unsearchable/c.txt", "charlie");  // listed, but its files cannot be reached
    writeFile(source + "/z.txt", "zulu");
    test::giveToNobody(dir.path());
    ASSERT_EQ(::chmod((source + "/closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod((source + "/unsearchable").c_str(), 0444), 0);
    const std::string path = dir / "out.pod";
    auto outcome = test::runInChild(
        [&](Notes& notes) {
            SourceList list = scan(source);
            notes.push_back(std::to_string(list.files.size()) + " files");
            return pack(list, path);
        },
        test::dropPrivileges);
    ASSERT_TRUE(outcome) << "cannot drop to an unprivileged user";
    EXPECT_EQ(outcome->result, 1);
    EXPECT_EQ(outcome->systemErrors,
              (Strings{message(EACCES, source + "/closed"), message(EACCES, source + "/unsearchable")}));
    EXPECT_EQ(outcome->notes, Strings{"2 files"});
    EXPECT_EQ(storedNames(path), (Strings{"A.TXT", "Z.TXT"}));
}

// Read-only destinations -----------------------------------------------------------------------

TEST_F(Faults, WriterAndContentLogRefuseReadOnlyDestinations) {
    writeFile(source + "/a.txt", "alpha");
    writeFile(source + "/my_pod_name.txt", "an older log");
    const std::string readOnly = dir / "ro";
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0755), 0);
    test::giveToNobody(dir.path());
    ASSERT_EQ(::chmod(readOnly.c_str(), 0555), 0);
    ASSERT_EQ(::chmod((source + "/my_pod_name.txt").c_str(), 0444), 0);
    auto outcome = test::runInChild(
        [&](Notes&) {
            SourceList list = scan(source);
            static_cast<void>(writeContentLog(readOnly + "/my_pod_name.txt", list));
            static_cast<void>(writeContentLog(source + "/my_pod_name.txt", list));
            return pack(list, readOnly + "/out.pod");
        },
        test::dropPrivileges);
    ASSERT_TRUE(outcome) << "cannot drop to an unprivileged user";
    EXPECT_EQ(outcome->result, 0);
    EXPECT_EQ(outcome->systemErrors,
              (Strings{message(EACCES, readOnly + "/my_pod_name.txt"), message(EACCES, source + "/my_pod_name.txt"),
                       message(EACCES, readOnly + "/out.pod")}));
    EXPECT_TRUE(listing(readOnly).empty());
    EXPECT_EQ(readFile(source + "/my_pod_name.txt"), "an older log");
}

TEST_F(Faults, ExtractionIntoAReadOnlyRootWritesNothing) {
    load({{"A.TXT", "a", kNoon2003}, {"SUB\\B.TXT", "b", kNoon2003}});
    test::giveToNobody(dir.path());
    ASSERT_EQ(::chmod(root.c_str(), 0555), 0);
    auto outcome = test::runInChild(
        [&](Notes& notes) {
            int result = archive.extractAll(root, &progress);
            notes.push_back(std::to_string(progress.steps) + " steps");
            return result;
        },
        test::dropPrivileges);
    ASSERT_TRUE(outcome) << "cannot drop to an unprivileged user";
    EXPECT_EQ(outcome->result, 0);
    EXPECT_EQ(outcome->systemErrors, (Strings{message(EACCES, root + "/A.TXT"), message(EACCES, root + "/SUB/B.TXT")}));
    EXPECT_EQ(outcome->notes, Strings{"2 steps"});
    EXPECT_TRUE(listing(root).empty());
}

TEST_F(Faults, ExtractionKeepsReadOnlyFilesAndFoldersItFinds) {
    load({{"KEEP.TXT", "new", kNoon2003}, {"SHUT\\X.TXT", "x", kNoon2003}, {"OK.TXT", "ok", kNoon2003}});
    writeFile(root + "/KEEP.TXT", "kept");
    ASSERT_EQ(::mkdir((root + "/SHUT").c_str(), 0755), 0);
    test::giveToNobody(dir.path());
    ASSERT_EQ(::chmod((root + "/KEEP.TXT").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((root + "/SHUT").c_str(), 0555), 0);
    auto outcome = test::runInChild([&](Notes&) { return archive.extractAll(root, nullptr); }, test::dropPrivileges);
    ASSERT_TRUE(outcome) << "cannot drop to an unprivileged user";
    EXPECT_EQ(outcome->result, 0);
    EXPECT_EQ(outcome->systemErrors,
              (Strings{message(EACCES, root + "/KEEP.TXT"), message(EACCES, root + "/SHUT/X.TXT")}));
    EXPECT_EQ(readFile(root + "/KEEP.TXT"), "kept");
    EXPECT_TRUE(listing(root + "/SHUT").empty());
    EXPECT_EQ(readFile(root + "/OK.TXT"), "ok");
}

// Planted links ------------------------------------------------------------------------------

TEST_F(Faults, WriterAndContentLogNeverWriteThroughAPlantedLink) {
    writeFile(source + "/a.txt", "alpha");
    const SourceList list = scan(source);
    const std::string toVictim = dir / "linked.pod";
    const std::string dangling = dir / "dangling.pod";
    const std::string logToVictim = dir / "linked.txt";
    const std::string danglingLog = dir / "dangling.txt";
    ASSERT_EQ(::symlink(victim.c_str(), toVictim.c_str()), 0);
    ASSERT_EQ(::symlink((outside + "/made.pod").c_str(), dangling.c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), logToVictim.c_str()), 0);
    ASSERT_EQ(::symlink((outside + "/made.txt").c_str(), danglingLog.c_str()), 0);

    test::RecordingSink sink;
    EXPECT_EQ(pack(list, toVictim), 0);
    EXPECT_EQ(pack(list, dangling), 0);
    EXPECT_EQ(writeContentLog(logToVictim, list).error, ELOOP);
    EXPECT_EQ(writeContentLog(danglingLog, list).error, ELOOP);
    EXPECT_EQ(sink.systemErrors, (Strings{message(EEXIST, toVictim), message(EEXIST, dangling),
                                          message(ELOOP, logToVictim), message(ELOOP, danglingLog)}));
    EXPECT_EQ(listing(outside), Strings{"victim.txt"});
    EXPECT_EQ(readFile(victim), "untouched");
}

// The temporary folder -----------------------------------------------------------------------

// The private folder of temporary copies is refused when another user owns it, or when a link
// stands in its place; no copy is made.
class TemporaryFolder : public Faults, public ::testing::WithParamInterface<bool> {
protected:
    TempDir runtime;
    test::ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().c_str()};
    std::string privateFolder = runtime / ("quillomar-" + std::to_string(::getuid()));
};

TEST_P(TemporaryFolder, InOtherHandsIsRefused) {
    const std::string elsewhere = dir / "elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    if (GetParam()) {
        if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
        ASSERT_EQ(::rename(elsewhere.c_str(), privateFolder.c_str()), 0);
        ASSERT_EQ(::chown(privateFolder.c_str(), test::kNobody, test::kNobody), 0);
    } else {
        ASSERT_EQ(::symlink(elsewhere.c_str(), privateFolder.c_str()), 0);
    }
    load({{"DOC\\README.TXT", "readme", kNoon2003}});
    test::RecordingSink sink;
    EXPECT_FALSE(archive.writeTemporaryCopy(archive.entries()[0]).has_value());
    EXPECT_EQ(sink.systemErrors, Strings{message(EACCES, privateFolder)});
    EXPECT_TRUE(listing(GetParam() ? privateFolder : elsewhere).empty());
    EXPECT_TRUE(archive.tempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, TemporaryFolder, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "OwnedByAnotherUser" : "PlantedLink"; });

}  // namespace
}  // namespace quillomar
