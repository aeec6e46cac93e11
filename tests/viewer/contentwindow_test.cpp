// The content window's logic against a fake host: the rows and their texts, sorting by every
// column, Extract all, and the temporary copies that a double-click opens.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

#include "testutil.h"
#include "app/contentwindowhook.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "listhost.h"
#include "platform/codepage.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"

namespace quillomar {
namespace {

using namespace viewer;
using test::ListHost;
using test::TimedEntry;

const FileTime kApril = test::utcFileTime(2003, 4, 28, 14, 5, 8);
const FileTime kMay = test::utcFileTime(2003, 5, 1, 9, 0, 0);
const FileTime kJune = test::utcFileTime(2004, 6, 30, 23, 59, 58);

class ContentWindowTest : public ::testing::Test {
protected:
    // Opens the archive and runs the window's initialisation over it.
    void show(const std::vector<TimedEntry>& entries) {
        archive = test::openArchive(dir / "test.pod", entries);
        ASSERT_NE(archive, nullptr);
        window = std::make_unique<ContentWindow>(
            *archive, owner, progress, [](int id) { return loadString(id, Language::Neutral); }, collator);
        host.start(*window);
    }

    // The row showing the entry of that stored name.
    int rowOf(const std::string& stored) const {
        for (int row = 0; row < host.rowCount(kList); ++row) {
            if (window->rowEntry(row)->name == stored) return row;
        }
        return -1;
    }

    test::TimeZone zone{"UTC0"};
    test::RecordingSink sink;
    test::TempDir dir;
    Collator collator{"en_US"};
    ListHost host;                                 // dialog 103
    ListHost owner{kPackerDialogId};               // the packer window
    test::RecordingProgress progress;              // the packer window's bar
    std::unique_ptr<PodArchive> archive;
    std::unique_ptr<ContentWindow> window;
};

std::vector<TimedEntry> sampleEntries() {
    return {{"ART\\A.PBM", std::string(1500, 'a'), kMay},
            {"ART\\B.PBM", std::string(20, 'b'), kApril},
            {"README.TXT", "read me", kJune}};
}

// Rows ------------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, RowsStandInReverseDirectoryOrderWithTheirTexts) {
    show(sampleEntries());
    ASSERT_EQ(host.columns.size(), 5u);
    const std::vector<std::pair<std::string, int>> columns{{"Name", 110}, {"Type", 45}, {"Folder", 110}, {"Date", 110}, {"Size", 60}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        EXPECT_EQ(host.columns[i].title, columns[i].first);
        EXPECT_EQ(host.columns[i].width, columns[i].second);
    }
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].cells, (std::vector<std::string>{"README", ".TXT", "", "06/30/04 23:59:58", "7"}));
    EXPECT_EQ(host.rows[1].cells, (std::vector<std::string>{"B", ".PBM", "ART\\", "04/28/03 14:05:08", "20"}));
    EXPECT_EQ(host.rows[2].cells, (std::vector<std::string>{"A", ".PBM", "ART\\", "05/01/03 09:00:00", "1500"}));
    EXPECT_EQ(window->rowEntry(2), &archive->entries()[0]);
    EXPECT_EQ(window->rowEntry(0), &archive->entries()[2]);
    EXPECT_EQ(window->rowEntry(3), nullptr);
}

TEST_F(ContentWindowTest, HeadersAreCutToTheirBuffer) {
    archive = test::openArchive(dir / "test.pod", sampleEntries());
    ASSERT_NE(archive, nullptr);
    ContentWindow wordy(*archive, owner, progress, [](int id) { return id == 106 ? std::string(30, 'N') : std::string(); }, collator);
    host.start(wordy);
    EXPECT_EQ(host.columns[0].title, std::string(19, 'N'));  // a buffer of 20 characters
}

TEST_F(ContentWindowTest, ColumnCreationStopsAtTheFirstRefusal) {
    host.columnLimit = 2;
    show(sampleEntries());
    ASSERT_EQ(host.columns.size(), 2u);
    EXPECT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].cells, (std::vector<std::string>{"README", ".TXT"}));
}

TEST_F(ContentWindowTest, EmptyArchiveListsNothingAndExtractsNothing) {
    show({});
    EXPECT_EQ(host.columns.size(), 5u);
    EXPECT_TRUE(host.rows.empty());
    host.pickerAnswer = (dir / "out");
    test::makeFolder(dir / "out");
    window->onCommand(kExtractAll);
    EXPECT_TRUE(progress.ranges.empty());
    EXPECT_EQ(progress.steps, 0);
    EXPECT_EQ(host.sorts, 0);
    window->onColumnClick(kList, kColumnName);
    EXPECT_TRUE(host.rows.empty());
}

TEST_F(ContentWindowTest, NamesShowInTheArchiveCodePageAndWithoutTimeWithAnEmptyDate) {
    show({{"CAF\xC9\\NO\xCBL.TXT", "x", 0}, {"A.B.C", "", kApril}, {"NOEXT", "zz", kMay}});
    EXPECT_EQ(host.rows[2].cells, (std::vector<std::string>{"NOËL", ".TXT", "CAFÉ\\", "", "1"}));
    EXPECT_EQ(host.rows[1].cells[0], "A.B");
    EXPECT_EQ(host.rows[1].cells[1], ".C");
    EXPECT_EQ(host.rows[1].cells[4], "0");
    EXPECT_EQ(host.rows[0].cells[1], "");
}

// Dates -------------------------------------------------------------------------------------------

TEST(EntryDate, LocalTimeInTheCLocaleFormat) {
    const FileTime time = test::utcFileTime(2003, 4, 28, 14, 5, 9);
    {
        test::TimeZone utc("UTC0");
        EXPECT_EQ(entryDateText(time), "04/28/03 14:05:09");
        EXPECT_EQ(entryDateText(time + 9999999), "04/28/03 14:05:09");  // fractions are cut
    }
    {
        // Central Europe: one hour ahead in winter, two in summer, daylight saving decided per date.
        test::TimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(entryDateText(time), "04/28/03 16:05:09");
        EXPECT_EQ(entryDateText(test::utcFileTime(2003, 1, 15, 23, 30, 0)), "01/16/03 00:30:00");
    }
    {
        test::TimeZone pacific("PST8PDT,M3.2.0,M11.1.0");
        EXPECT_EQ(entryDateText(test::utcFileTime(1980, 1, 1, 3, 0, 0)), "12/31/79 19:00:00");
    }
    EXPECT_EQ(entryDateText(kNoEntryTime), "");
}

TEST(EntryDate, KeepsItsFormatUnderAnotherProcessLocale) {
    const char* const candidates[] = {"fr_FR.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", "fr_FR", "de_DE"};
    const std::string before = ::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    for (const char* name : candidates) {
        if (::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) GTEST_SKIP() << "no locale other than C is installed";
    test::TimeZone utc("UTC0");
    const std::string text = entryDateText(test::utcFileTime(2003, 4, 28, 14, 5, 9));
    ::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(text, "04/28/03 14:05:09") << chosen;
}

// Sorting -------------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, NameSortIsAscendingOnEveryClick) {
    show(sampleEntries());
    window->onColumnClick(kList, kColumnName);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"A", "B", "README"}));
    window->onColumnClick(kList, kColumnName);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"A", "B", "README"}));
    // Clicks on other lists or past the columns change nothing.
    window->onColumnClick(kList + 1, kColumnSize);
    window->onColumnClick(kList, 9);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"A", "B", "README"}));
}

TEST_F(ContentWindowTest, TextColumnsFollowTheLocaleCollationCaseSensitively) {
    // Byte order would give B.txt, a.txt, b.txt, é.txt; the collation puts lower case just
    // before upper case and é with the e's.
    show({{"b.txt", "", kApril}, {"B.txt", "", kApril}, {"\xE9.txt", "", kApril}, {"a.txt", "", kApril},
          {"f.txt", "", kApril}});
    window->onColumnClick(kList, kColumnName);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"a", "b", "B", "é", "f"}));
}

TEST_F(ContentWindowTest, EmptyTypeAndFolderSortFirst) {
    show({{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}});
    window->onColumnClick(kList, kColumnType);
    EXPECT_EQ(host.column(kColumnType), (std::vector<std::string>{"", ".BIN", ".PBM", ".TXT"}));
    window->onColumnClick(kList, kColumnFolder);
    // README and C.BIN share the empty folder and keep the order the type sort gave them.
    EXPECT_EQ(host.column(kColumnFolder), (std::vector<std::string>{"", "", "A\\", "Z\\"}));
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"README", "C", "Y", "X"}));
}

TEST_F(ContentWindowTest, DateSortPutsEarliestFirstAndEntriesWithoutTimeBeforeThem) {
    show({{"ONE", "", kJune}, {"TWO", "", 0}, {"THREE", "", kApril}, {"FOUR", "", kApril}, {"FIVE", "", kMay}});
    window->onColumnClick(kList, kColumnDate);
    // THREE and FOUR have equal times: they keep the order they had (the reverse of the directory).
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"TWO", "FOUR", "THREE", "FIVE", "ONE"}));
    EXPECT_EQ(host.rows[0].cells[kColumnDate], "");
}

TEST_F(ContentWindowTest, SizeSortIsUnsignedAndKeepsEqualSizesTogether) {
    show({{"BIG", std::string(300, 'x'), kApril},
          {"SMALL", "x", kApril},
          {"SAME1", std::string(40, 'x'), kApril},
          {"EMPTY", "", kApril},
          {"SAME2", std::string(40, 'x'), kApril}});
    window->onColumnClick(kList, kColumnSize);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"EMPTY", "SMALL", "SAME2", "SAME1", "BIG"}));
    window->onColumnClick(kList, kColumnSize);
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"EMPTY", "SMALL", "SAME2", "SAME1", "BIG"}));

    ArchiveEntry huge{"H", static_cast<std::int32_t>(0x80000000u), 0, kApril};
    ArchiveEntry one{"O", 1, 0, kApril};
    EXPECT_GT(compareEntries(huge, one, kColumnSize, collator), 0);
    EXPECT_EQ(compareEntries(one, one, kColumnSize, collator), 0);
    EXPECT_EQ(entryRow(huge).size, "2147483648");
}

TEST_F(ContentWindowTest, EverySortAgreesWithCompareEntries) {
    std::vector<TimedEntry> entries;
    const char* names[] = {"ART\\A.PBM", "art\\a.pbm", "B", "SOUND\\É.WAV", "SOUND\\E.WAV", "x.y.z", "ART\\Z.",
                           "A\\B\\C.D", "", "MAPS\\README", "_.TXT", "1.TXT", "10.TXT", "2.TXT"};
    int n = 0;
    for (const char* raw : names) {
        std::string name = *archiveCodePage().fromUtf8(raw);
        if (name.empty()) name = "EMPTY" + std::to_string(n);
        entries.push_back({name, std::string(static_cast<std::size_t>((n * 7) % 5), 'd'), n % 3 == 0 ? 0 : kApril + (n % 4) * 20000000});
        ++n;
    }
    show(entries);
    for (int column : {kColumnName, kColumnType, kColumnFolder, kColumnDate, kColumnSize, kColumnName}) {
        window->onColumnClick(kList, column);
        for (int row = 1; row < host.rowCount(kList); ++row) {
            EXPECT_LE(compareEntries(*window->rowEntry(row - 1), *window->rowEntry(row), column, collator), 0)
                << "column " << column << " row " << row;
        }
    }
    EXPECT_EQ(host.rows.size(), entries.size());
}

// Extract all ----------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, CancelledPickerExtractsNothingAndEnablesBothButtons) {
    show(sampleEntries());
    bool disabledMeanwhile = false;
    host.duringPicker = [&] { disabledMeanwhile = !host.enabled(kClose) && !host.enabled(kExtractAll); };
    window->onCommand(kIdCancel);  // what Escape sends
    EXPECT_EQ(host.pickerTitles, std::vector<std::string>{"Destination folder for POD extraction ==>"});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(host.enabled(kClose));
    EXPECT_TRUE(host.enabled(kExtractAll));
    EXPECT_TRUE(progress.ranges.empty());
    EXPECT_FALSE(host.endResult.has_value());  // Escape does not close the window; Close does
    window->onCommand(kClose);
    EXPECT_EQ(host.endResult, 1);
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ContentWindowTest, ChosenFolderReceivesEveryEntryOnThePackerBar) {
    show(sampleEntries());
    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    int stepsDuringPicker = -1;
    host.duringPicker = [&] { stepsDuringPicker = progress.steps; };
    window->onCommand(kExtractAll);
    EXPECT_EQ(stepsDuringPicker, 0);
    EXPECT_EQ(test::readFile(root + "/ART/A.PBM"), std::string(1500, 'a'));
    EXPECT_EQ(test::readFile(root + "/ART/B.PBM"), std::string(20, 'b'));
    EXPECT_EQ(test::readFile(root + "/README.TXT"), "read me");
    struct stat st {};
    ASSERT_EQ(::stat((root + "/ART/B.PBM").c_str(), &st), 0);
    EXPECT_EQ(fileTimeFromTimespec(st.st_mtim), kApril);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 3}}));
    EXPECT_EQ(progress.steps, 3);
    EXPECT_TRUE(host.enabled(kClose));
    EXPECT_TRUE(host.enabled(kExtractAll));
    EXPECT_EQ(sink.count(), 0u);
    EXPECT_TRUE(owner.opened.empty());
}

// Temporary copies ------------------------------------------------------------------------------

TEST_F(ContentWindowTest, DoubleClickOpensAPrivateCopyRecordedOnce) {
    show(sampleEntries());
    const int row = rowOf("ART\\A.PBM");
    window->onItemActivate(kList, row);
    ASSERT_EQ(owner.opened.size(), 1u);
    const std::string copy = owner.opened[0];
    EXPECT_TRUE(copy.ends_with("/ART/A.PBM")) << copy;
    EXPECT_EQ(test::readFile(copy), std::string(1500, 'a'));
    struct stat folder {};
    ASSERT_EQ(::stat(copy.substr(0, copy.size() - 10).c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_TRUE(host.opened.empty());  // the packer window, not the list's dialog, hands it over

    // The same entry again reuses its copy, recorded once.
    window->onItemActivate(kList, row);
    EXPECT_EQ(owner.opened, (std::vector<std::string>{copy, copy}));
    EXPECT_EQ(archive->tempFiles(), std::vector<std::string>{copy});
    EXPECT_EQ(sink.count(), 0u);

    archive->close();
    EXPECT_FALSE(test::exists(copy));
}

TEST_F(ContentWindowTest, SameFileNameInTwoFoldersGetsTwoCopies) {
    show({{"A\\README.TXT", "first", kApril}, {"B\\README.TXT", "second", kApril}});
    window->onItemActivate(kList, rowOf("A\\README.TXT"));
    window->onItemActivate(kList, rowOf("B\\README.TXT"));
    ASSERT_EQ(owner.opened.size(), 2u);
    EXPECT_NE(owner.opened[0], owner.opened[1]);
    EXPECT_EQ(test::readFile(owner.opened[0]), "first");
    EXPECT_EQ(test::readFile(owner.opened[1]), "second");
    EXPECT_EQ(archive->tempFiles().size(), 2u);
}

TEST_F(ContentWindowTest, NoProgramForTheTypeGivesMessage105AndTheCopyStaysRecorded) {
    show(sampleEntries());
    owner.desktopAnswer = false;
    window->onItemActivate(kList, rowOf("README.TXT"));
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgNoAssociation});
    ASSERT_EQ(archive->tempFiles().size(), 1u);
    const std::string copy = archive->tempFiles()[0];
    EXPECT_TRUE(test::exists(copy));
    archive->close();
    EXPECT_FALSE(test::exists(copy));
}

// The window in the program ------------------------------------------------------------------

// The packer window with the program's content window: drops an archive, plays the content
// window with play, and keeps the window object alive until the program would end.
TEST(ContentWindowInTheProgram, CopiesGoWhenAnotherArchiveOpensAndWhenTheProgramEnds) {
    test::TimeZone zone("UTC0");
    test::RecordingSink sink;
    test::TempDir dir;
    const std::string first = dir / "first.pod";
    const std::string second = dir / "second.pod";
    test::writeFile(first, test::layOutArchive(sampleEntries()));
    test::writeFile(second, test::layOutArchive({{"OTHER.TXT", "other", kMay}}));
    setCurrentLanguage(Language::Neutral);

    std::vector<std::string> copies;
    std::vector<std::vector<std::string>> listed;
    ListHost packer(kPackerDialogId);
    packer.playDialog = [&](int dialogId, DialogHandler& logic) {
        EXPECT_EQ(dialogId, kContentDialogId);
        ListHost content;
        content.start(logic);
        listed.push_back(content.column(kColumnName));
        EXPECT_EQ(content.columns.at(kColumnSize).title, "Size");
        logic.onItemActivate(kList, 0);
        copies.push_back(packer.opened.back());
        EXPECT_TRUE(test::exists(copies.back()));
        logic.onCommand(kClose);
        return *content.endResult;
    };

    const int status = runWindowProgram({"quillomar"}, [&](PackerWindow& window) {
        packer.start(window);
        window.onDrop(first);
        ASSERT_EQ(copies.size(), 1u);
        window.onCommand(packer::kShowContent);  // the same archive again: its copy stays
        ASSERT_EQ(copies.size(), 2u);
        EXPECT_EQ(copies[0], copies[1]);
        EXPECT_TRUE(test::exists(copies[0]));
        window.onDrop(second);  // opening another archive closes the first
        ASSERT_EQ(copies.size(), 3u);
        EXPECT_FALSE(test::exists(copies[0]));
        EXPECT_TRUE(test::exists(copies[2]));
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(listed, (std::vector<std::vector<std::string>>{{"README", "B", "A"}, {"README", "B", "A"}, {"OTHER"}}));
    EXPECT_FALSE(test::exists(copies[2]));  // the window's teardown closed the archive
    EXPECT_EQ(sink.count(), 0u);
}

}  // namespace
}  // namespace quillomar
