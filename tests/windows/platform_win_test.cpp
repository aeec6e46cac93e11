// The Windows platform layer: the wide API with long paths, publishing without replacing, times,
// the system's texts, the leftovers of ended processes and the shell's "open". A folder planted
// as a link in an extraction's destination is same_as_linux_test.sh's matter: Wine makes no links.

#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "archive/podarchive.h"
#include "platform/codepage.h"
#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/outputfile.h"
#include "platform/shellopen.h"
#include "platform/syserror.h"
#include "platform/tempdir.h"
#include "testutil.h"

namespace quillomar {
namespace {

std::wstring wide(const std::string& utf8) {
    std::wstring out(utf8.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                           static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::size_t leftoversIn(const std::string& folder) {
    std::size_t count = 0;
    for (const FolderItem& item : listFolder(folder).items) count += item.name.starts_with(kTemporaryPrefix) ? 1 : 0;
    return count;
}

TEST(WidePaths, FilesBeyondTheClassicLengthLimitAreCreatedListedReadAndRemoved) {
    test::TempDir dir;
    std::string folder = dir.path();
    for (int level = 0; level < 6; ++level) folder += "/dossier-é-" + std::string(50, static_cast<char>('a' + level));
    const std::string path = folder + "/fichier-ü.txt";
    ASSERT_GT(path.size(), 300u);
    ASSERT_FALSE(createFolders(folder).failed());
    File file = File::createNew(path);
    ASSERT_TRUE(file.valid()) << file.failure().error;
    ASSERT_TRUE(file.writeAll(std::as_bytes(std::span("contenu", 7))));
    ASSERT_TRUE(file.close());

    EXPECT_EQ(test::readFile(path), "contenu");
    const Result<FileStatus> status = fileStatus(path);
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status->kind, FileKind::Regular);
    EXPECT_EQ(status->size, 7u);
    const FolderListing listing = listFolder(folder);
    ASSERT_EQ(listing.items.size(), 1u);
    EXPECT_EQ(listing.items[0].name, "fichier-ü.txt");
    EXPECT_FALSE(removeFile(path).failed());
    EXPECT_FALSE(test::exists(path));
}

TEST(ContentLog, LinesUseBackslashesAndTheCodePagesBytes) {
    EXPECT_EQ(contentLogLine("C:/mods/Caf\xc3\xa9/\xc3\xa9t\xc3\xa9.txt"), "C:\\mods\\Caf\xe9\\\xe9t\xe9.txt");
    EXPECT_EQ(contentLogLine("C:/x/\xe6\x97\xa5.txt"), "C:\\x\\?.txt");  // not in code page 1252
}

TEST(Files, OpeningTellsWhatIsWrongAsAnErrnoValue) {
    test::TempDir dir;
    test::writeFile(dir / "there.txt", "x");
    test::makeFolder(dir / "folder");
    EXPECT_EQ(File::createNew(dir / "there.txt").failure().error, EEXIST);
    EXPECT_EQ(File::openRead(dir / "folder").failure().error, EISDIR);
    EXPECT_EQ(File::openRead(dir / "missing.txt").failure().error, ENOENT);
    EXPECT_EQ(File::openRead(dir / "missing/deeper.txt").failure().error, ENOENT);
    const File opened = File::openRead(dir / "there.txt");
    ASSERT_TRUE(opened.valid());
    const Result<std::uint64_t> size = opened.size();
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, 1u);
}

TEST(Files, TimesKeepEveryHundredNanoseconds) {
    test::TempDir dir;
    File file = File::createNew(dir / "timed.bin");
    ASSERT_TRUE(file.valid());
    const FileTime when = test::utc(2003, 4, 28, 14, 5, 9) + 1234567;
    ASSERT_TRUE(file.setTimes(timespecFromFileTime(when), timespecFromFileTime(when)));
    ASSERT_TRUE(file.close());
    EXPECT_EQ(test::modificationTime(dir / "timed.bin"), when);
}

TEST(PendingFile, TakesItsNameOnlyWhenPublishedAndNeverReplacesUnasked) {
    test::TempDir dir;
    test::writeFile(dir / "taken.pod", "old");

    Result<PendingFile> refused = PendingFile::create(dir / "taken.pod", UnnamedFile::Allowed);
    ASSERT_TRUE(refused.ok());
    ASSERT_TRUE(refused->file().writeAll(std::as_bytes(std::span("new", 3))));
    EXPECT_EQ(leftoversIn(dir.path()), 1u);  // a hidden name until published
    const Failure taken = refused->publish(Publish::NoReplace, Flush::DataAndName);
    EXPECT_EQ(taken.error, EEXIST);
    EXPECT_EQ(taken.path, dir / "taken.pod");
    EXPECT_EQ(test::readFile(dir / "taken.pod"), "old");
    EXPECT_EQ(leftoversIn(dir.path()), 0u);

    Result<PendingFile> replacing = PendingFile::create(dir / "taken.pod", UnnamedFile::Refused);
    ASSERT_TRUE(replacing.ok());
    ASSERT_TRUE(replacing->file().writeAll(std::as_bytes(std::span("new", 3))));
    EXPECT_FALSE(replacing->publish(Publish::Replace, Flush::Nothing).failed());
    EXPECT_EQ(test::readFile(dir / "taken.pod"), "new");

    Result<PendingFile> fresh = PendingFile::create(dir / "fresh.pod", UnnamedFile::Refused);
    ASSERT_TRUE(fresh.ok());
    EXPECT_FALSE(fresh->publish(Publish::NoReplace, Flush::DataAndName).failed());
    EXPECT_TRUE(test::exists(dir / "fresh.pod"));
    EXPECT_EQ(leftoversIn(dir.path()), 0u);
}

TEST(PendingFile, ReplacesOnlyAWritableRegularFile) {
    test::TempDir dir;
    test::writeFile(dir / "readonly.txt", "keep");
    ASSERT_TRUE(SetFileAttributesW(wide(dir / "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    test::makeFolder(dir / "folder.txt");
    for (const auto& [leaf, error] : {std::pair{"readonly.txt", EACCES}, std::pair{"folder.txt", EISDIR}}) {
        Result<PendingFile> pending = PendingFile::create(dir / leaf, UnnamedFile::Refused);
        ASSERT_TRUE(pending.ok()) << leaf;
        EXPECT_EQ(pending->publish(Publish::Replace, Flush::Nothing).error, error) << leaf;
        EXPECT_EQ(checkReplaceable(dir / leaf).error, error) << leaf;
    }
    EXPECT_FALSE(checkReplaceable(dir / "missing.txt").failed());
    EXPECT_EQ(test::readFile(dir / "readonly.txt"), "keep");
    EXPECT_EQ(leftoversIn(dir.path()), 0u);
    SetFileAttributesW(wide(dir / "readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PendingFile, SweepRemovesWhatEndedProcessesLeftAndKeepsTheLiving) {
    test::TempDir dir;
    // No process has an id of 0xFFFFFFF0 (ids are multiples of four); this process's own file
    // with its own mark belongs to a living process.
    // The dead one is planted after the living one is made, as creating it sweeps the folder too.
    Result<PendingFile> living = PendingFile::create(dir / "living.pod", UnnamedFile::Refused);
    ASSERT_TRUE(living.ok());
    const std::string dead = std::string(kTemporaryPrefix) + std::to_string(0xFFFFFFF0ul) + "-1d2c3b4a-7";
    test::writeFile(dir / dead, "cut");
    {
        const Result<FolderHandle> folder = openFolder(dir.path());
        ASSERT_TRUE(folder.ok());
        EXPECT_EQ(sweepLeftovers(folder->fd()), 1u);
    }
    EXPECT_FALSE(test::exists(dir / dead));
    EXPECT_EQ(leftoversIn(dir.path()), 1u);
}

TEST(Extraction, RecreatesAccentedNamesAndTimesAndKeepsHostileNamesInsideTheRoot) {
    test::TempDir dir;
    const std::string pod = dir / "a.pod";
    const std::uint32_t noon2003 = 0x3EC6C54C;
    const std::string accented = *archiveCodePage().fromUtf8("ÉTÉ\\CAFÉ.TXT");
    test::writeFile(pod, test::layOutPod3({{accented, "café", noon2003},
                                           {"..\\ESCAPE.TXT", "bad", 0},
                                           {"C:\\DRIVE.TXT", "bad", 0},
                                           {"\\\\SERVER\\SHARE.TXT", "bad", 0},
                                           {"DEVICES\\NUL.TXT", "bad", 0},
                                           {"DEVICES\\con", "bad", 0},
                                           {"COM1\\X.TXT", "bad", 0},
                                           {"DEVICES\\CONSOLE.TXT:HIDDEN", "bad", 0},
                                           {"DEVICES\\CONSOLE.TXT", "a file", 0}},
                                          "", "", "", 0));
    const std::string root = dir / "out";
    test::makeFolder(root);
    test::RecordingSink sink;
    PodArchive archive;
    ASSERT_EQ(archive.open(pod), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    test::ReportingObserver shown(&archive);
    const Result<Extracted> done = archive.extractAll(root, shown, nullptr);
    ASSERT_TRUE(done);
    EXPECT_FALSE(done->complete());
    EXPECT_EQ(done->files, 2u);
    EXPECT_EQ(test::readFile(root + "/ÉTÉ/CAFÉ.TXT"), "café");
    EXPECT_EQ(test::modificationTime(root + "/ÉTÉ/CAFÉ.TXT"), test::utc(2003, 4, 28, 12, 0, 0));
    // A device's or a stream's name is refused too, with its own reason: it would write to the
    // device, or into the stream of another file. No folder of a refused name is created.
    EXPECT_EQ(test::readFile(root + "/DEVICES/CONSOLE.TXT"), "a file");
    EXPECT_EQ(listFolder(root + "/DEVICES").items.size(), 1u);
    EXPECT_FALSE(test::exists(root + "/COM1"));
    EXPECT_FALSE(test::exists(dir / "ESCAPE.TXT"));
    ASSERT_EQ(sink.systemErrors.size(), 7u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(sink.systemErrors[i].starts_with(systemErrorText(EACCES)));
    for (std::size_t i = 3; i < 7; ++i) EXPECT_TRUE(sink.systemErrors[i].starts_with(systemErrorText(EINVAL)));
    ASSERT_EQ(sink.details.size(), 4u);
    EXPECT_NE(sink.details[0].find("\"NUL.TXT\" is a device name on Windows"), std::string::npos) << sink.details[0];
    EXPECT_NE(sink.details[3].find("holds ':'"), std::string::npos) << sink.details[3];
}

TEST(SystemTexts, ComeFromTheSystemWithThePathOnALineOfItsOwn) {
    for (const int error : {ENOENT, EEXIST, EACCES, ENOSPC, EFBIG, EILSEQ, ENAMETOOLONG, EINVAL}) {
        const std::string text = systemErrorText(error);
        EXPECT_FALSE(text.empty()) << error;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << error;
        EXPECT_NE(text.back(), '\n') << error;
    }
    EXPECT_EQ(systemErrorMessage(ENOENT, "C:/a.pod"), systemErrorText(ENOENT) + "\n==> C:/a.pod");
}

TEST(PrivateTempFolder, LiesInTheUsersTemporaryFolder) {
    const Result<std::string> folder = privateTempFolder();
    ASSERT_TRUE(folder.ok());
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const Result<FileStatus> status = fileStatus(*folder, Links::NotFollowed);
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status->kind, FileKind::Folder);
    EXPECT_TRUE(folder->ends_with("quillomar")) << *folder;
}

TEST(ShellOpen, AFileOfATypeWithoutProgramGivesMessage105) {
    test::TempDir dir;
    test::writeFile(dir / "entry.qzxj", "data");
    const Failure failure = openWithAssociatedProgram(dir / "entry.qzxj");
    EXPECT_EQ(failure.messageId, kMsgNoAssociation);
    EXPECT_EQ(openWithAssociatedProgram(dir / "missing.qzxj").error, ENOENT);
}

}  // namespace
}  // namespace quillomar
