// The on-disk records, the timestamp word and stored names.
#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "archive/podformat.h"
#include "archive/splitpath.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::utc;

TEST(Timestamp, EncodesTheWorkedExamplesAndReadsThemBack) {
    const FileTime noon = utc(2003, 4, 28, 12, 0, 0);
    EXPECT_EQ(encodeTimestamp(noon), 0x3EC6C54Cu);
    EXPECT_EQ(decodeTimestamp(0x3EC6C54C), noon);

    // 20:00 carries from the lower into the upper half.
    const FileTime evening = utc(2003, 4, 28, 20, 0, 0);
    EXPECT_EQ(encodeTimestamp(evening), 0x3EC7054Cu);
    EXPECT_EQ(decodeTimestamp(0x3EC7054C), evening);
}

TEST(Timestamp, TimesOutsideTheDosRangeAreStoredAsZeroAndReadAsNoTime) {
    EXPECT_EQ(encodeTimestamp(utc(1980, 1, 1, 0, 0, 0) - 1), kTimestampBias);
    EXPECT_EQ(encodeTimestamp(kUnixEpochFileTime), kTimestampBias);
    EXPECT_EQ(encodeTimestamp(utc(2107, 12, 31, 23, 59, 58) + 2 * kFileTimeTicksPerSecond), kTimestampBias);
    EXPECT_FALSE(decodeTimestamp(kTimestampBias).has_value());
    // Odd seconds are kept to the even second below, as DOS times hold them.
    EXPECT_EQ(decodeTimestamp(encodeTimestamp(utc(2020, 2, 29, 23, 59, 59))), utc(2020, 2, 29, 23, 59, 58));
}

TEST(Timestamp, RejectsImpossibleDates) {
    auto word = [](unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute) {
        return ((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5) + kTimestampBias;
    };
    EXPECT_TRUE(decodeTimestamp(word(2000, 2, 29, 0, 0)).has_value());
    EXPECT_FALSE(decodeTimestamp(word(2001, 2, 29, 0, 0)).has_value());
    EXPECT_FALSE(decodeTimestamp(word(2001, 13, 1, 0, 0)).has_value());
    EXPECT_FALSE(decodeTimestamp(word(2001, 4, 31, 0, 0)).has_value());
    EXPECT_FALSE(decodeTimestamp(word(2001, 1, 1, 24, 0)).has_value());
    EXPECT_FALSE(decodeTimestamp(word(2001, 1, 1, 0, 60)).has_value());
}

TEST(Header, EncodesEveryFieldAtItsOffset) {
    PodHeader h;
    h.magic = {'P', 'O', 'D', '3'};
    h.description = makeHeaderText("Description...");
    h.entryCount = 3;
    h.word96 = 1000;
    h.priority = -5;
    h.author = makeHeaderText(std::string(100, 'a'));
    h.directoryOffset = 0x01020304;
    h.namesSize = 42;
    h.word280 = 0xFFFFFFFF;
    auto image = encodeHeader(h);
    std::string bytes(reinterpret_cast<const char*>(image.data()), image.size());
    EXPECT_EQ(bytes.substr(0, 4), "POD3");
    EXPECT_EQ(bytes.substr(8, 15), std::string("Description...\0", 15));
    EXPECT_EQ(test::getLe32(bytes, 88), 3u);
    EXPECT_EQ(test::getLe32(bytes, 96), 1000u);
    EXPECT_EQ(test::getLe32(bytes, 100), 0xFFFFFFFBu);
    EXPECT_EQ(bytes.substr(104, 80), std::string(79, 'a') + '\0');  // the 80th byte stays 0
    EXPECT_EQ(test::getLe32(bytes, 264), 0x01020304u);
    EXPECT_EQ(test::getLe32(bytes, 272), 42u);
    EXPECT_EQ(test::getLe32(bytes, 280), 0xFFFFFFFFu);
    EXPECT_EQ(decodeHeader(image).priority, -5);
}

TEST(Header, TextWithoutTerminatorEndsAtItsField) {
    HeaderText full;
    full.fill('x');
    EXPECT_EQ(headerText(full), std::string(80, 'x'));
}

TEST(StoredName, UpperCasesInTheCodePageWithBackslashes) {
    EXPECT_EQ(storedNameFromHostPath("sub/file.ext").name, "SUB\\FILE.EXT");
    EXPECT_EQ(storedNameFromHostPath("café.txt").name, "CAF\xC9.TXT");
    EXPECT_EQ(storedNameFromHostPath("ÿœš.dat").name, "\x9F\x8C\x8A.DAT");
    EXPECT_EQ(storedNameToUtf8("CAF\xC9.TXT"), "CAFÉ.TXT");
}

TEST(StoredName, RefusesWhatTheArchiveCannotHold) {
    EXPECT_EQ(storedNameFromHostPath("日本.txt").error, EILSEQ);
    EXPECT_EQ(storedNameFromHostPath("bad\xFF.txt").error, EILSEQ);  // not UTF-8
    EXPECT_EQ(storedNameFromHostPath("a\\b.txt").error, EINVAL);
    EXPECT_TRUE(storedNameFromHostPath(std::string(259, 'n')).name.has_value());
    EXPECT_EQ(storedNameFromHostPath(std::string(260, 'n')).error, ENAMETOOLONG);
    // The limit counts stored bytes: 130 two-byte UTF-8 letters are 130 bytes.
    std::string accented;
    for (int i = 0; i < 130; ++i) accented += "é";
    EXPECT_TRUE(storedNameFromHostPath(accented).name.has_value());
}

TEST(StoredName, UnsafeNamesHaveNoPathBelowTheRoot) {
    for (const char* hostile : {"..\\EVIL.TXT", "A\\..\\..\\EVIL.TXT", "\\ETC\\PASSWD", "/etc/passwd", "C:\\WIN.INI",
                                "C:EVIL", "..", "", ".\\.", "A/../../B"}) {
        EXPECT_FALSE(safeRelativePath(hostile).has_value()) << hostile;
    }
    EXPECT_EQ(safeRelativePath("ART\\PLANES\\F1.PBM"), "ART/PLANES/F1.PBM");
    EXPECT_EQ(safeRelativePath("A/B\\C.TXT"), "A/B/C.TXT");
    EXPECT_EQ(safeRelativePath("A\\\\.\\B..C"), "A/B..C");
    EXPECT_EQ(safeRelativePath("CAF\xC9"), "CAFÉ");
}

TEST(SplitPath, FollowsTheRuntimeRule) {
    struct Row {
        const char* path;
        PathParts parts;  // drive, folder, name, extension
    };
    const Row rows[] = {
        {"ART\\PLANES\\F1.PBM", {"", "ART\\PLANES\\", "F1", ".PBM"}},
        {"README", {"", "", "README", ""}},
        {"A.B.C", {"", "", "A.B", ".C"}},
        {"C:\\DIR.X/FILE", {"C:", "\\DIR.X/", "FILE", ""}},
    };
    for (const Row& row : rows) {
        const PathParts p = splitPath(row.path);
        EXPECT_EQ(std::tie(p.drive, p.folder, p.name, p.extension),
                  std::tie(row.parts.drive, row.parts.folder, row.parts.name, row.parts.extension))
            << row.path;
    }
    EXPECT_EQ(splitPath(std::string(300, 'n')).name.size(), 255u);
}

}  // namespace
}  // namespace quillomar
