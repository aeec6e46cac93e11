// The small platform helpers: system texts, message routines, reading, copying, folders and the
// private temporary folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "archive/splitpath.h"
#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/filetime.h"
#include "platform/messages.h"
#include "platform/syserror.h"
#include "platform/tempdir.h"
#include "testutil.h"

namespace quillomar {
namespace {

// The system's text follows the program's language, not LANGUAGE, which the C library would
// otherwise prefer to the locale. Each row runs in a child process: the choice is process-wide.
struct SystemTextRow {
    const char* behaviour;
    const char* language;     // the program's: "fr" or "" (English)
    const char* environment;  // LANGUAGE as the session sets it
    const char* expected;     // the text for ENOENT
};

class SystemErrorLanguage : public ::testing::TestWithParam<SystemTextRow> {};

TEST_P(SystemErrorLanguage, SpeaksTheProgramsLanguage) {
    const SystemTextRow& row = GetParam();
    EXPECT_EXIT(
        {
            ::setenv("LANGUAGE", row.environment, 1);
            setSystemErrorLanguage(row.language);
            const std::string text = systemErrorText(ENOENT);
            std::fprintf(stderr, "%s\n", text.c_str());
            std::exit(text == row.expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SystemErrorLanguage,
    ::testing::Values(SystemTextRow{"FrenchOverEnglishLanguage", "fr", "en_US:en",
                                    "Aucun fichier ou dossier de ce type"},
                      SystemTextRow{"EnglishOverFrenchLanguage", "", "fr_FR:fr", "No such file or directory"}),
    [](const ::testing::TestParamInfo<SystemTextRow>& row) { return std::string(row.param.behaviour); });

TEST(Messages, ARecordShowsAsTheWindowShowsIt) {
    test::RecordingSink sink;
    Failure damaged = Failure::message(111, "/a.pod", "the directory is cut short", 400);
    report(damaged);
    Failure missing = Failure::system(ENOENT, "/b.pod");
    report(missing);
    Failure none;
    report(none);  // an empty record shows nothing

    EXPECT_EQ(sink.ids, std::vector<int>{111});
    EXPECT_EQ(sink.systemErrors, std::vector<std::string>{"No such file or directory\n==> /b.pod"});
    EXPECT_EQ(sink.details, std::vector<std::string>{"/a.pod: the directory is cut short"});
    showSystemError(EACCES, "/c.pod");  // the same form for a message without a record
    EXPECT_EQ(sink.systemErrors.back(), "Permission denied\n==> /c.pod");
    EXPECT_EQ(formatString("%s-%0300d", "x", 7).size(), 302u);  // never cut
}

// What openRead refuses, and the record it keeps: never a hang on a pipe, always the true reason.
struct Unreadable {
    const char* name;
    int error;
    const char* detail;
};

class OpenRead : public ::testing::TestWithParam<Unreadable> {};

TEST_P(OpenRead, RefusesWhatIsNoRegularFileWithItsReason) {
    test::TempDir dir;
    std::string path = dir / "x.pod";
    const std::string kind = GetParam().name;
    if (kind == "Missing") {
        // nothing there
    } else if (kind == "Folder") {
        test::makeFolder(path);
    } else if (kind == "NamedPipe") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "Device") {
        path = "/dev/zero";
    }
    File file = File::openRead(path);
    EXPECT_FALSE(file.valid());
    EXPECT_EQ(file.failure().error, GetParam().error);
    EXPECT_EQ(file.failure().path, path);
    EXPECT_EQ(file.failure().detail, GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(Platform, OpenRead,
                         ::testing::Values(Unreadable{"Missing", ENOENT, ""}, Unreadable{"Folder", EISDIR, ""},
                                           Unreadable{"NamedPipe", EINVAL, "not a regular file (a named pipe)"},
                                           Unreadable{"Device", EINVAL, "not a regular file (a device)"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CopyRange, AFailedWriteNamesTheDestination) {
    test::TempDir dir;
    test::writeFile(dir / "in", std::string(10000, 'x'));
    File in = File::openRead(dir / "in");
    File full(::open("/dev/full", O_WRONLY | O_CLOEXEC), "/dev/full");
    ASSERT_TRUE(in.valid());
    ASSERT_TRUE(full.valid());
    CopyResult copied = copyRange(in, 0, full, 10000);
    EXPECT_EQ(copied.failure.error, ENOSPC);
    EXPECT_EQ(copied.failure.path, "/dev/full");
    EXPECT_FALSE(copied.readFailed);
}

TEST(WriteFileAtomically, AFailureIsReturnedWithThePathAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    EXPECT_FALSE(writeFileAtomically(dir / "kept", "new", 0600).failed());
    EXPECT_EQ(test::readFile(dir / "kept"), "new");
    Failure refused = writeFileAtomically(dir / "missing/kept", "new", 0600);
    EXPECT_EQ(refused.error, ENOENT);
    EXPECT_EQ(refused.path, dir / "missing/kept");
}

// The folders of a path: a new folder told from one already there, a file in the way named.
TEST(CreateDirectoryPath, TellsCreatedFromAlreadyThereFromFailed) {
    test::TempDir dir;
    Result<FolderCreation> made = createDirectoryPath(dir / "a/b/c");
    ASSERT_TRUE(made);
    EXPECT_EQ(*made, FolderCreation::Created);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));

    Result<FolderCreation> again = createDirectoryPath(dir / "a/b");
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, FolderCreation::AlreadyThere);
    EXPECT_FALSE(createFolders(dir / "d/e//").failed());  // separators at the end, as typed
    EXPECT_TRUE(std::filesystem::is_directory(dir / "d/e"));
    EXPECT_EQ(createFolders("").error, ENOENT);

    // A file where a folder belongs, at the end or on the way, is a failure.
    test::writeFile(dir / "file", "x");
    for (const std::string& path : {dir / "file", dir / "file/below/deeper"}) {
        Result<FolderCreation> refused = createDirectoryPath(path);
        ASSERT_FALSE(refused) << path;
        EXPECT_EQ(refused.failure().error, ENOTDIR) << path;
        EXPECT_EQ(refused.failure().path, path);
        EXPECT_EQ(createFolders(path).error, ENOTDIR) << path;
    }
}

// The file system's calls return their failure with the error and the name they were given:
// nothing is left in errno for the caller to pick up.
struct FolderFailure {
    const char* name;
    // Runs the call in a folder holding "file" (a file) and "link" (a link to "sub", a folder);
    // folderFd is that folder's descriptor.
    std::function<Failure(const std::string& folder, int folderFd)> call;
    int error;
    std::string shown;  // the path the record names, below the folder ("" for the bare name)
    bool below = true;  // shown is below the folder (else the name as given)
};

Failure failureOf(const auto& result) { return result ? Failure() : result.failure(); }

const std::string kLongName(300, 'n');

class FileSystemFailure : public ::testing::TestWithParam<FolderFailure> {};

TEST_P(FileSystemFailure, NamesTheErrorAndThePath) {
    test::TempDir dir;
    test::writeFile(dir / "file", "x");
    test::makeFolder(dir / "sub");
    ASSERT_EQ(::symlink("sub", (dir / "link").c_str()), 0);
    Result<FolderHandle> folder = openFolder(dir.path());
    ASSERT_TRUE(folder);
    errno = 0;
    const Failure failure = GetParam().call(dir.path(), folder->fd());
    EXPECT_EQ(failure.error, GetParam().error);
    EXPECT_EQ(failure.path, GetParam().below ? dir / GetParam().shown : GetParam().shown);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));  // never replaced nor followed
    EXPECT_TRUE(std::filesystem::is_empty(dir / "sub"));
}

INSTANTIATE_TEST_SUITE_P(
    Platform, FileSystemFailure,
    ::testing::Values(
        FolderFailure{"OpenFolderMissing", [](auto& d, int) { return failureOf(openFolder(d + "/none")); }, ENOENT,
                      "none"},
        FolderFailure{"OpenFolderOnAFile", [](auto& d, int) { return failureOf(openFolder(d + "/file")); }, ENOTDIR,
                      "file"},
        FolderFailure{"SubfolderMissing",
                      [](auto&, int fd) { return failureOf(openSubfolder(fd, "none", IfMissing::Fail)); }, ENOENT,
                      "none", false},
        FolderFailure{"SubfolderWhereAFileStands",
                      [](auto&, int fd) { return failureOf(openSubfolder(fd, "file", IfMissing::Create)); },
                      ENOTDIR, "file", false},
        FolderFailure{"SubfolderThroughALink",
                      [](auto&, int fd) { return failureOf(openSubfolder(fd, "link", IfMissing::Create)); }, ENOTDIR,
                      "link", false},
        FolderFailure{"SubfolderNameTooLong",
                      [](auto&, int fd) { return failureOf(openSubfolder(fd, kLongName, IfMissing::Create)); },
                      ENAMETOOLONG, kLongName, false},
        FolderFailure{"StatusMissing", [](auto& d, int) { return failureOf(fileStatus(d + "/none")); }, ENOENT,
                      "none"},
        FolderFailure{"StatusBelowAFile", [](auto& d, int) { return failureOf(fileStatus(d + "/file/x")); }, ENOTDIR,
                      "file/x"},
        FolderFailure{"RemoveMissingFile", [](auto& d, int) { return removeFile(d + "/none"); }, ENOENT, "none"},
        FolderFailure{"UniqueFolderInMissingFolder",
                      [](auto& d, int) { return failureOf(createUniqueFolder(d + "/none/x-")); }, ENOENT, "none"}),
    [](const auto& row) { return std::string(row.param.name); });

// Whether a folder was made by the call decides whether leftovers are looked for in it.
TEST(OpenSubfolder, TellsAFolderItMadeFromOneAlreadyThere) {
    test::TempDir dir;
    Result<FolderHandle> folder = openFolder(dir.path());
    ASSERT_TRUE(folder);
    Result<Subfolder> made = openSubfolder(folder->fd(), "new", IfMissing::Create);
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->created);
    EXPECT_TRUE(made->folder.valid());
    for (IfMissing ifMissing : {IfMissing::Create, IfMissing::Fail}) {
        Result<Subfolder> again = openSubfolder(folder->fd(), "new", ifMissing);
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->created);
    }
    // The handle is the descriptor's one owner: moved, it is closed once, by the last holder.
    FolderHandle moved = std::move(made->folder);
    EXPECT_FALSE(made->folder.valid());
    const int fd = moved.fd();
    { FolderHandle last = std::move(moved); }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST(PrivateTempFolder, RefusesAFolderOthersCanEnter) {
    test::TempDir dir;
    test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", dir.path().c_str());
    Result<std::string> folder = privateTempFolder();
    ASSERT_TRUE(folder);
    struct stat st {};
    ASSERT_EQ(::stat(folder->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(folder->c_str(), 0777);
    Result<std::string> refused = privateTempFolder();
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.failure().error, EACCES);
    EXPECT_EQ(refused.failure().path, *folder);
}

}  // namespace
}  // namespace quillomar
