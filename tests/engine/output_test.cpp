// Output that takes its final name only when complete, the cleanup a signal does, and the sweep of
// what killed runs left behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/outputfile.h"
#include "platform/signalsafetable.h"
#include "platform/tempdir.h"
#include "platform/termination.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::exists;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> listing(const std::string& folder) { return test::listTree(folder); }

// The id of a process that has ended.
pid_t deadProcess() {
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

bool write(PendingFile& pending, const std::string& bytes) {
    return pending.file().writeAll(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

// Unnamed (O_TMPFILE) and hidden-name files must behave the same.
class PendingFileTest : public ::testing::TestWithParam<UnnamedFile> {
protected:
    TempDir dir;
    std::string target = dir / "out.pod";
};

TEST_P(PendingFileTest, NothingStandsUnderTheFinalNameUntilPublished) {
    Result<PendingFile> pending = PendingFile::create(target, GetParam());
    ASSERT_TRUE(pending);
    ASSERT_TRUE(write(*pending, "whole"));
    EXPECT_FALSE(exists(target));
    for (const std::string& name : listing(dir.path())) EXPECT_TRUE(name.starts_with(".quillomar-")) << name;
    EXPECT_FALSE(pending->publish(Publish::NoReplace, Flush::DataAndName).failed());
    EXPECT_EQ(readFile(target), "whole");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"out.pod"});
}

// The record names the final path, whichever step failed.
TEST_P(PendingFileTest, FailuresNameTheFinalPath) {
    Result<PendingFile> pending = PendingFile::create(target, GetParam());
    ASSERT_TRUE(write(*pending, "new"));
    writeFile(target, "someone else's");
    const Failure refused = pending->publish(Publish::NoReplace, Flush::DataAndName);
    EXPECT_EQ(refused.error, EEXIST);
    EXPECT_EQ(refused.path, target);
    EXPECT_EQ(readFile(target), "someone else's");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"out.pod"});

    const std::string nowhere = dir / "missing/out.pod";
    Result<PendingFile> orphan = PendingFile::create(nowhere, GetParam());
    ASSERT_FALSE(orphan);
    EXPECT_EQ(orphan.failure().error, ENOENT);
    EXPECT_EQ(orphan.failure().path, nowhere);
}

TEST_P(PendingFileTest, DiscardedOrDestroyedLeavesNothing) {
    {
        Result<PendingFile> pending = PendingFile::create(target, GetParam());
        ASSERT_TRUE(write(*pending, "cut"));
    }
    Result<PendingFile> pending = PendingFile::create(target, GetParam());
    pending->discard();
    EXPECT_TRUE(listing(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(UnnamedOrHidden, PendingFileTest,
                         ::testing::Values(UnnamedFile::Allowed, UnnamedFile::Refused),
                         [](const auto& row) { return row.param == UnnamedFile::Allowed ? "Unnamed" : "HiddenName"; });

// What may stand at a target that a new file replaces.
struct ReplaceCase {
    const char* name;
    void (*plant)(const std::string& path);
    int error;  // 0: replaced
};

const ReplaceCase kReplaceCases[] = {
    {"WritableFile", [](const std::string& p) { writeFile(p, "old"); }, 0},
    {"ReadOnlyFile", [](const std::string& p) { writeFile(p, "old"), ::chmod(p.c_str(), 0444); }, EACCES},
    {"SymbolicLink", [](const std::string& p) { (void)::symlink("/etc/passwd", p.c_str()); }, ELOOP},
    {"Folder", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, EISDIR},
    {"Pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, EEXIST},
};

class ReplaceRule : public ::testing::TestWithParam<ReplaceCase> {};

// A refused target keeps what it was; root included, since the mode bits decide, not access().
// The check made beforehand gives the same verdict as the replacement itself.
TEST_P(ReplaceRule, ReplacesOnlyAWritableRegularFile) {
    TempDir dir;
    const std::string target = dir / "t";
    GetParam().plant(target);
    struct stat before {};
    ASSERT_EQ(::lstat(target.c_str(), &before), 0);
    EXPECT_EQ(checkReplaceable(target).error, GetParam().error);
    Result<PendingFile> pending = PendingFile::create(target, UnnamedFile::Refused);
    ASSERT_TRUE(write(*pending, "new"));
    EXPECT_EQ(pending->publish(Publish::Replace, Flush::Nothing).error, GetParam().error);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"t"});
    struct stat after {};
    ASSERT_EQ(::lstat(target.c_str(), &after), 0);
    if (GetParam().error == 0) {
        EXPECT_EQ(readFile(target), "new");
    } else {
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplaceRule, ::testing::ValuesIn(kReplaceCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The handler sees exactly the published entries: a freed slot drops out and is reused, and a
// full table refuses instead of overwriting.
TEST(SignalSafeTable, HandlerSeesOnlyLiveEntriesAndAFullTableRefuses) {
    SignalSafeTable<int, 3> table;
    auto live = [&] {
        std::vector<int> seen;
        table.forEachPublished([&](int value) { seen.push_back(value); });
        return seen;
    };
    EXPECT_EQ(table.add([](int& slot) { slot = 10; }), 0);
    int b = table.add([](int& slot) { slot = 20; });
    EXPECT_EQ(table.add([](int& slot) { slot = 30; }), 2);
    EXPECT_EQ(table.add([](int& slot) { slot = 40; }), -1);
    EXPECT_EQ(live(), (std::vector<int>{10, 20, 30}));
    table.remove(b);
    EXPECT_EQ(b, -1);
    table.remove(b);  // a second release is harmless
    EXPECT_EQ(live(), (std::vector<int>{10, 30}));
    EXPECT_EQ(table.add([](int& slot) { slot = 50; }), 1);
    EXPECT_EQ(live(), (std::vector<int>{10, 50, 30}));
}

// A signal ends the program; its hidden temporaries go with it, and it says so once.
TEST(Termination, SigtermRemovesHiddenTemporariesAndExitsWith143) {
    TempDir dir;
    int errors[2];
    ASSERT_EQ(::pipe(errors), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errors[1], STDERR_FILENO);
        exitCleanlyOnTermination("tool");
        Result<PendingFile> first = PendingFile::create(dir / "a", UnnamedFile::Refused);
        Result<PendingFile> second = PendingFile::create(dir / "b", UnnamedFile::Refused);
        if (!first || !second || listing(dir.path()).size() != 2) ::_exit(1);
        ::kill(::getpid(), SIGTERM);
        ::_exit(2);
    }
    ::close(errors[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    char text[256] = {};
    EXPECT_GT(::read(errors[0], text, sizeof text - 1), 0);
    ::close(errors[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_STREQ(text, "tool: stopped by SIGTERM\n");
    EXPECT_TRUE(listing(dir.path()).empty());
}

// Only what is provably a killed run's: our name, a regular file of this user, its process gone.
TEST(Leftovers, SweepRemovesOnlyFilesOfEndedRunsOfOurs) {
    TempDir dir;
    const std::string dead = std::to_string(deadProcess());
    const std::string self = std::to_string(::getpid());
    Result<PendingFile> inUse = PendingFile::create(dir / "busy", UnnamedFile::Refused);
    writeFile(dir / (".quillomar-" + dead + "-0badf00d-0"), "cut");
    writeFile(dir / (".quillomar-" + self + "-0badf00d-3"), "cut by an earlier process with this id");
    writeFile(dir / (".quillomar-" + dead + "-0badf00d-x"), "not our pattern");
    writeFile(dir / (".quillomar-" + dead + "-0"), "not our pattern");
    // The parent is alive, but did not start at the time this name records: its id was reused.
    writeFile(dir / (".quillomar-" + std::to_string(::getppid()) + "-zz-0"), "cut by an earlier holder of the id");
    writeFile(dir / "keep.txt", "user's");
    ASSERT_EQ(::symlink("keep.txt", (dir / (".quillomar-" + dead + "-0badf00d-1")).c_str()), 0);
    int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(sweepLeftovers(folder), 3u);
    ::close(folder);
    EXPECT_FALSE(exists(dir / (".quillomar-" + dead + "-0badf00d-0")));
    EXPECT_FALSE(exists(dir / (".quillomar-" + self + "-0badf00d-3")));
    EXPECT_EQ(listing(dir.path()).size(), 5u);  // this process's own pending file among them
}

TEST(Leftovers, TemporaryCopyFoldersOfEndedProcessesAreSwept) {
    TempDir runtime;
    test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().c_str());
    const std::string base = *privateTempFolder();
    const std::string dead = base + "/archive-" + std::to_string(deadProcess()) + "-" + processMark() + "-abc123";
    // Ids given to another process since: the running parent's, this process's own.
    const std::string reused = base + "/archive-" + std::to_string(::getppid()) + "-1-abc123";
    const std::string reusedOwn = base + "/archive-" + std::to_string(::getpid()) + "-1-abc123";
    const std::string mine = base + "/" + temporaryFolderPrefix() + "def456";
    writeFile(dead + "/A/README.TXT", "stale copy");
    writeFile(reused + "/README.TXT", "stale copy");
    writeFile(reusedOwn + "/README.TXT", "stale copy");
    writeFile(mine + "/README.TXT", "open copy");
    writeFile(base + "/archive-x", "not ours");
    EXPECT_EQ(removeTemporaryFolders(TemporaryFoldersOf::EndedProcesses), 3u);
    EXPECT_FALSE(exists(dead));
    EXPECT_FALSE(exists(reused));
    EXPECT_FALSE(exists(reusedOwn));
    EXPECT_TRUE(exists(mine + "/README.TXT"));
    EXPECT_EQ(removeTemporaryFolders(TemporaryFoldersOf::ThisProcess), 1u);
    EXPECT_FALSE(exists(mine));
    EXPECT_TRUE(exists(base + "/archive-x"));
}

}  // namespace
}  // namespace quillomar
