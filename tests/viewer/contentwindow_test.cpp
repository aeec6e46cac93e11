// The content window's logic against a fake host: the rows and their texts, sorting by every
// column, Extract all, and the temporary copies that a double-click opens.

#include <gtest/gtest.h>

#include <clocale>
#include <memory>

#include "fakehost.h"
#include "app/stringtable.h"
#include "platform/codepage.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"

namespace quillomar {
namespace {

using namespace viewer;
using test::TimedEntry;
using Texts = std::vector<std::string>;

const FileTime kApril = test::utc(2003, 4, 28, 14, 5, 8);
const FileTime kMay = test::utc(2003, 5, 1, 9, 0, 0);
const FileTime kJune = test::utc(2004, 6, 30, 23, 59, 58);

const std::vector<TimedEntry> kSample{{"ART\\A.PBM", std::string(1500, 'a'), kMay},
                                      {"ART\\B.PBM", std::string(20, 'b'), kApril},
                                      {"README.TXT", "read me", kJune}};

class ContentWindowTest : public ::testing::Test {
protected:
    // Opens the archive and runs the window's initialisation over it.
    void show(const std::vector<TimedEntry>& entries,
              ContentWindow::TextLoader texts = [](int id) { return loadString(id, Language::Neutral); }) {
        test::writeFile(dir / "test.pod", test::layOutTimed(entries));
        ASSERT_EQ(archive.open(dir / "test.pod"), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
        window = std::make_unique<ContentWindow>(archive, owner, progress, texts, collator);
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
    test::FakeHost host{kContentDialogId};
    test::FakeHost owner{kPackerDialogId};  // the packer window, which hands copies to the desktop
    test::CountingProgress progress;         // the packer window's bar
    PodArchive archive;
    std::unique_ptr<ContentWindow> window;
};

// Rows ------------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, RowsStandInReverseDirectoryOrderWithTheirTexts) {
    show(kSample);
    EXPECT_EQ(host.columns, (std::vector<std::pair<std::string, int>>{
                                {"Name", 110}, {"Type", 45}, {"Folder", 110}, {"Date", 110}, {"Size", 60}}));
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.cells(0), (Texts{"README", ".TXT", "", "06/30/04 23:59:58", "7"}));
    EXPECT_EQ(host.cells(1), (Texts{"B", ".PBM", "ART\\", "04/28/03 14:05:08", "20"}));
    EXPECT_EQ(host.cells(2), (Texts{"A", ".PBM", "ART\\", "05/01/03 09:00:00", "1500"}));
    EXPECT_EQ(window->rowEntry(2), &archive.entries()[0]);
    EXPECT_EQ(window->rowEntry(0), &archive.entries()[2]);
    EXPECT_EQ(window->rowEntry(3), nullptr);
    // Clicks on another list or past the columns change nothing.
    window->onColumnClick(kList + 1, kColumnName);
    window->onColumnClick(kList, 9);
    EXPECT_EQ(host.column(kColumnName), (Texts{"README", "B", "A"}));
}

TEST_F(ContentWindowTest, NamesShowInTheArchiveCodePageAndWithoutTimeWithAnEmptyDate) {
    show({{"CAF\xC9\\NO\xCBL.TXT", "x", 0}, {"A.B.C", "", kApril}, {"NOEXT", "zz", kMay}});
    EXPECT_EQ(host.cells(2), (Texts{"NOËL", ".TXT", "CAFÉ\\", "", "1"}));
    EXPECT_EQ(host.cells(1), (Texts{"A.B", ".C", "", "04/28/03 14:05:08", "0"}));
    EXPECT_EQ(host.cells(0)[kColumnType], "");
}

TEST_F(ContentWindowTest, TitlesAreCutToTheirBufferAndColumnsStopAtTheFirstRefusal) {
    host.columnLimit = 2;
    show(kSample, [](int id) { return id == 106 ? std::string(30, 'N') : std::string("T"); });
    // A buffer of 20 characters holds 19.
    EXPECT_EQ(host.columns, (std::vector<std::pair<std::string, int>>{{std::string(19, 'N'), 110}, {"T", 45}}));
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.cells(0), (Texts{"README", ".TXT"}));
}

TEST_F(ContentWindowTest, EmptyArchiveListsNothingAndExtractsNothing) {
    show({});
    EXPECT_EQ(host.columns.size(), 5u);
    EXPECT_TRUE(host.rows.empty());
    host.pickerAnswer = dir.path();
    window->onCommand(kExtractAll);
    window->onColumnClick(kList, kColumnName);
    EXPECT_TRUE(progress.ranges.empty());
    EXPECT_EQ(progress.steps, 0);
    EXPECT_TRUE(host.rows.empty());
}

// Dates -------------------------------------------------------------------------------------------

TEST(EntryDate, LocalTimeInTheCLocaleFormat) {
    struct Row {
        const char* zone;
        FileTime time;
        const char* text;
    };
    const FileTime april = test::utc(2003, 4, 28, 14, 5, 9);
    // Central Europe is one hour ahead in winter and two in summer, decided per date.
    const char* const cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    for (const Row& row : {Row{"UTC0", april, "04/28/03 14:05:09"}, Row{"UTC0", april + 9999999, "04/28/03 14:05:09"},
                           Row{cet, april, "04/28/03 16:05:09"},
                           Row{cet, test::utc(2003, 1, 15, 23, 30, 0), "01/16/03 00:30:00"},
                           Row{"PST8PDT,M3.2.0,M11.1.0", test::utc(1980, 1, 1, 3, 0, 0), "12/31/79 19:00:00"},
                           Row{"UTC0", kNoEntryTime, ""}}) {
        test::TimeZone zone(row.zone);
        EXPECT_EQ(entryDateText(row.time), row.text) << row.zone << " " << row.time;
    }
}

TEST(EntryDate, KeepsItsFormatUnderAnotherProcessLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    for (const char* name : {"fr_FR.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", "fr_FR", "de_DE"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) GTEST_SKIP() << "no locale other than C is installed";
    test::TimeZone utc("UTC0");
    const std::string text = entryDateText(test::utc(2003, 4, 28, 14, 5, 9));
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(text, "04/28/03 14:05:09") << chosen;
}

// Sorting: every column ascending on every click, rows with equal keys keeping their order ---------

struct SortRow {
    const char* what;
    std::vector<TimedEntry> entries;
    std::vector<int> clicks;
    Texts names;  // the name column afterwards
};
void PrintTo(const SortRow& row, std::ostream* out) { *out << row.what; }

const SortRow kSorts[] = {
    {"name, twice", kSample, {kColumnName, kColumnName}, {"A", "B", "README"}},
    // Byte order would give B, a, b, é: the collation puts lower case just before upper case, é with the e's.
    {"name by the locale's collation",
     {{"b.txt", "", kApril}, {"B.txt", "", kApril}, {"\xE9.txt", "", kApril}, {"a.txt", "", kApril}, {"f.txt", "", kApril}},
     {kColumnName}, {"a", "b", "B", "é", "f"}},
    {"type, the empty one first",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnType}, {"README", "C", "Y", "X"}},
    // The rows stand C, Y, README, X: C and README share the empty folder and keep their order.
    {"folder, the empty one first",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnFolder}, {"C", "README", "Y", "X"}},
    {"folder after type keeps the type's order among equal folders",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnType, kColumnFolder}, {"README", "C", "Y", "X"}},
    // THREE and FOUR have equal times and keep the order they had (the reverse of the directory).
    {"date, earliest first and entries without a time before them",
     {{"ONE", "", kJune}, {"TWO", "", 0}, {"THREE", "", kApril}, {"FOUR", "", kApril}, {"FIVE", "", kMay}},
     {kColumnDate}, {"TWO", "FOUR", "THREE", "FIVE", "ONE"}},
    {"size, twice",
     {{"BIG", std::string(300, 'x'), kApril}, {"SMALL", "x", kApril}, {"SAME1", std::string(40, 'x'), kApril},
      {"EMPTY", "", kApril}, {"SAME2", std::string(40, 'x'), kApril}},
     {kColumnSize, kColumnSize}, {"EMPTY", "SMALL", "SAME2", "SAME1", "BIG"}},
};

class ContentWindowSort : public ContentWindowTest, public ::testing::WithParamInterface<SortRow> {};

TEST_P(ContentWindowSort, OrdersTheRows) {
    show(GetParam().entries);
    for (int column : GetParam().clicks) window->onColumnClick(kList, column);
    EXPECT_EQ(host.column(kColumnName), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Columns, ContentWindowSort, ::testing::ValuesIn(kSorts));

TEST(EntryOrder, SizesCompareAsUnsigned32BitNumbers) {
    const Collator collator("en_US");
    const ArchiveEntry huge{"H", static_cast<std::int32_t>(0x80000000u), 0, kApril};
    const ArchiveEntry one{"O", 1, 0, kApril};
    EXPECT_GT(compareEntries(huge, one, kColumnSize, collator), 0);
    EXPECT_EQ(compareEntries(one, one, kColumnSize, collator), 0);
    EXPECT_EQ(entryRow(huge).size, "2147483648");
}

// Extract all ----------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, ExtractAllWritesNothingWhenThePickerIsCancelledAndEveryEntryWhenAFolderIsChosen) {
    show(kSample);
    bool disabledMeanwhile = false;
    host.duringPicker = [&] { disabledMeanwhile = !host.enabled(kClose) && !host.enabled(kExtractAll); };
    window->onCommand(kIdCancel);  // what Escape sends
    EXPECT_EQ(host.pickerTitles, Texts{"Destination folder for POD extraction ==>"});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(host.enabled(kClose));
    EXPECT_TRUE(host.enabled(kExtractAll));
    EXPECT_TRUE(progress.ranges.empty());
    EXPECT_FALSE(host.endResult.has_value());  // Escape does not close the window; Close does

    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    host.duringPicker = [&] { EXPECT_EQ(progress.steps, 0); };
    window->onCommand(kExtractAll);
    EXPECT_EQ(test::readFile(root + "/ART/A.PBM"), std::string(1500, 'a'));
    EXPECT_EQ(test::readFile(root + "/ART/B.PBM"), std::string(20, 'b'));
    EXPECT_EQ(test::readFile(root + "/README.TXT"), "read me");
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 3}}));
    EXPECT_EQ(progress.steps, 3);
    EXPECT_TRUE(host.enabled(kClose));
    EXPECT_TRUE(host.enabled(kExtractAll));
    EXPECT_TRUE(owner.opened.empty());
    EXPECT_EQ(sink.count(), 0u);
    window->onCommand(kClose);
    EXPECT_EQ(host.endResult, 1);
}

// Temporary copies ------------------------------------------------------------------------------

TEST_F(ContentWindowTest, DoubleClickOpensACopyRecordedOnceAndDeletedOnClose) {
    show(kSample);
    const int row = rowOf("ART\\A.PBM");
    window->onItemActivate(kList, row);
    ASSERT_EQ(owner.opened.size(), 1u);
    const std::string copy = owner.opened[0];
    EXPECT_TRUE(copy.ends_with("/ART/A.PBM")) << copy;
    EXPECT_EQ(test::readFile(copy), std::string(1500, 'a'));
    EXPECT_TRUE(host.opened.empty());  // the packer window, not the list's dialog, hands it over
    // The same entry again reuses its copy, recorded once.
    window->onItemActivate(kList, row);
    EXPECT_EQ(owner.opened, (Texts{copy, copy}));
    EXPECT_EQ(archive.tempFiles(), Texts{copy});
    EXPECT_EQ(sink.count(), 0u);

    // Without a program for the type: message 105, and the copy stays recorded.
    owner.desktopAnswer = false;
    window->onItemActivate(kList, rowOf("README.TXT"));
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgNoAssociation});
    ASSERT_EQ(archive.tempFiles().size(), 2u);
    const std::string readme = archive.tempFiles()[1];
    EXPECT_TRUE(test::exists(readme));
    archive.close();
    EXPECT_FALSE(test::exists(copy));
    EXPECT_FALSE(test::exists(readme));
}

TEST_F(ContentWindowTest, SameFileNameInTwoFoldersGetsTwoCopies) {
    show({{"A\\README.TXT", "first", kApril}, {"B\\README.TXT", "second", kApril}});
    window->onItemActivate(kList, rowOf("A\\README.TXT"));
    window->onItemActivate(kList, rowOf("B\\README.TXT"));
    ASSERT_EQ(owner.opened.size(), 2u);
    EXPECT_NE(owner.opened[0], owner.opened[1]);
    EXPECT_EQ(test::readFile(owner.opened[0]), "first");
    EXPECT_EQ(test::readFile(owner.opened[1]), "second");
    EXPECT_EQ(archive.tempFiles().size(), 2u);
}

}  // namespace
}  // namespace quillomar
