// Code pages, DOS times and the folder listing order: the same answers from every system's
// platform layer (ICU on Linux, the system's tables on Windows).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/codepage.h"
#include "platform/filetime.h"
#include "platform/folderorder.h"
#include "testutil.h"

namespace quillomar {
namespace {

TEST(CodePage, EveryByteRoundTripsThroughUtf8) {
    for (int number = 1250; number <= 1258; ++number) {
        std::optional<CodePage> page = CodePage::load(number);
        ASSERT_TRUE(page.has_value()) << number;
        std::string all;
        for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
        EXPECT_EQ(page->fromUtf8(page->toUtf8(all)), all) << number;
    }
    EXPECT_FALSE(CodePage::load(1249).has_value());
    EXPECT_FALSE(CodePage::load(65001).has_value());
}

TEST(CodePage, UpperCasesOnlyIntoCharactersThePageHolds) {
    const CodePage page = *CodePage::load(1252);
    EXPECT_EQ(page.upper("abc\xE9\xFF\x9C"), "ABC\xC9\x9F\x8C");  // é ÿ œ
    EXPECT_EQ(page.upper("\xB5\xDF"), "\xB5\xDF");                // µ and ß have no upper case here
    const CodePage cyrillic = *CodePage::load(1251);
    EXPECT_EQ(cyrillic.toUtf8(cyrillic.upper(*cyrillic.fromUtf8("привет"))), "ПРИВЕТ");
}

TEST(CodePage, SwitchingThePageChangesConversions) {
    ASSERT_TRUE(setArchiveCodePage(1251));
    EXPECT_EQ(archiveCodePage().toUtf8("\xC0"), "А");
    EXPECT_FALSE(setArchiveCodePage(42));
    EXPECT_EQ(archiveCodePage().number(), 1251);
    ASSERT_TRUE(setArchiveCodePage(1252));
    EXPECT_EQ(archiveCodePage().toUtf8("\xC0"), "À");
}

TEST(DisplayPath, ShowsValidUtf8AsItIsAndEveryIllFormedSequenceAsOneReplacement) {
    const std::pair<std::string, std::string> rows[] = {
        {"/home/zo\xC3\xA9/caf\xC3\xA9", "/home/zo\xC3\xA9/caf\xC3\xA9"},  // UTF-8 unchanged
        {"/tmp/caf\xE9", "/tmp/caf\xEF\xBF\xBD"},                          // Latin-1 é
        {"/tmp/caf\xE9/x", "/tmp/caf\xEF\xBF\xBD/x"},                      // the rest survives
        {"a\xC3", "a\xEF\xBF\xBD"},                                        // cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                          // overlong '/'
        {"", ""},
    };
    for (const auto& [path, shown] : rows) EXPECT_EQ(displayPath(path), shown) << path;
}

TEST(FileTime, DosConversionsHoldTheirRange) {
    EXPECT_FALSE(fileTimeToDosDateTime(test::utc(1980, 1, 1, 0, 0, 0) - 1).has_value());
    ASSERT_TRUE(fileTimeToDosDateTime(test::utc(1980, 1, 1, 0, 0, 0)).has_value());
    EXPECT_EQ(fileTimeToDosDateTime(test::utc(2107, 12, 31, 23, 59, 58))->date, 0xFF9F);
    struct timespec before1970 = timespecFromFileTime(kUnixEpochFileTime - 5);
    EXPECT_EQ(before1970.tv_sec, -1);
    EXPECT_EQ(before1970.tv_nsec, 999999500);
    EXPECT_EQ(fileTimeFromTimespec(before1970), kUnixEpochFileTime - 5);
}

TEST(FolderOrder, ListsAsTheWindowsFileSystemDoes) {
    struct Row {
        const char* first;
        const char* second;
        const char* why;
    };
    const Row rows[] = {
        {"b.txt", "C.txt", "letter case does not count"},
        {"AZ", "a_", "upper-cased first: 'Z' (5A) before '_' (5F), though 'z' (7A) is after it"},
        {"e\xCC\x81", "\xC3\xA9", "no normalisation: e and a combining acute before the precomposed letter"},
        {"\xF0\x9F\x98\x80", "\xEF\xBC\xA1", "UTF-16 units, not code points: a surrogate pair before U+FF21"},
        {"\xC3\xA9", "\xC3\xB0", "accented letters by their upper case: C9 before D0"},
    };
    for (const Row& row : rows) {
        EXPECT_LT(folderOrderKey(row.first), folderOrderKey(row.second)) << row.why;
    }
    EXPECT_EQ(folderOrderKey("readme.TXT"), folderOrderKey("README.txt"));
    EXPECT_EQ(folderOrderKey("a\xFF"), u"A\uFFFD");  // not UTF-8
}

}  // namespace
}  // namespace quillomar
