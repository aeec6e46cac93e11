// The content window's logic against a fake host: the rows and their texts, sorting by every
// column, Extract all and Extract selected with their progress and end in the hint, the context
// menu, rows dragged out, and the temporary copies that a double-click opens.

#include <gtest/gtest.h>

#include <new>

#include <sys/stat.h>

#include <clocale>
#include <memory>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "packer/packerwindow.h"
#include "platform/codepage.h"
#include "viewer/contentwindow.h"
#include "contentwindowfixture.h"

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

class ContentWindowTest : public test::ContentWindowFixture {
protected:
    // Opens the archive and runs the window's initialisation over it.
    void show(
        const std::vector<TimedEntry>& entries,
        ContentWindow::TextLoader texts = [](int id) { return loadString(id, Language::Neutral); }) {
        test::writeFile(dir / "test.pod", test::layOutTimed(entries));
        ASSERT_EQ(archive.open(dir / "test.pod"), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
        window = std::make_unique<ContentWindow>(archive, owner, progress, texts, collator);
        host.start(*window);
    }
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

TEST_F(ContentWindowTest, ControlCharactersInNamesShowAsVisiblePlaceholders) {
    // ESC, a line break, DEL and 0x81, which code page 1252 leaves to the C1 control U+0081.
    show({{"E\x1B[2J\\A\nB.T\x7F\x81", "x", kApril}});
    EXPECT_EQ(host.cells(0), (Texts{"A\u240aB", ".T\u2421\ufffd", "E\u241b[2J\\", "04/28/03 14:05:08", "1"}));
}

TEST_F(ContentWindowTest, TitlesAreCutToTheirBufferAndColumnsStopAtTheFirstRefusal) {
    host.columnLimit = 2;
    show(kSample, [](int id) { return id == kNameColumnTitle ? std::string(30, 'N') : std::string("T"); });
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
    for (const Row& row :
         {Row{"UTC0", april, "04/28/03 14:05:09"}, Row{"UTC0", april + 9999999, "04/28/03 14:05:09"},
          Row{cet, april, "04/28/03 16:05:09"}, Row{cet, test::utc(2003, 1, 15, 23, 30, 0), "01/16/03 00:30:00"},
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
     {{"b.txt", "", kApril},
      {"B.txt", "", kApril},
      {"\xE9.txt", "", kApril},
      {"a.txt", "", kApril},
      {"f.txt", "", kApril}},
     {kColumnName},
     {"a", "b", "B", "é", "f"}},
    {"type, the empty one first",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnType},
     {"README", "C", "Y", "X"}},
    // The rows stand C, Y, README, X: C and README share the empty folder and keep their order.
    {"folder, the empty one first",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnFolder},
     {"C", "README", "Y", "X"}},
    {"folder after type keeps the type's order among equal folders",
     {{"Z\\X.TXT", "", kApril}, {"README", "", kApril}, {"A\\Y.PBM", "", kApril}, {"C.BIN", "", kApril}},
     {kColumnType, kColumnFolder},
     {"README", "C", "Y", "X"}},
    // THREE and FOUR have equal times and keep the order they had (the reverse of the directory).
    {"date, earliest first and entries without a time before them",
     {{"ONE", "", kJune}, {"TWO", "", 0}, {"THREE", "", kApril}, {"FOUR", "", kApril}, {"FIVE", "", kMay}},
     {kColumnDate},
     {"TWO", "FOUR", "THREE", "FIVE", "ONE"}},
    {"size, twice",
     {{"BIG", std::string(300, 'x'), kApril},
      {"SMALL", "x", kApril},
      {"SAME1", std::string(40, 'x'), kApril},
      {"EMPTY", "", kApril},
      {"SAME2", std::string(40, 'x'), kApril}},
     {kColumnSize, kColumnSize},
     {"EMPTY", "SMALL", "SAME2", "SAME1", "BIG"}},
};

class ContentWindowSort : public ContentWindowTest, public ::testing::WithParamInterface<SortRow> {};

TEST_P(ContentWindowSort, OrdersTheRows) {
    show(GetParam().entries);
    for (int column : GetParam().clicks) window->onColumnClick(kList, column);
    EXPECT_EQ(host.column(kColumnName), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Columns, ContentWindowSort, ::testing::ValuesIn(kSorts),
                         [](const auto& row) { return test::caseName(row.param.what); });

TEST(EntryOrder, SizesCompareAsUnsigned32BitNumbers) {
    const Collator collator("en_US");
    const ArchiveEntry huge{"H", 0x80000000u, 0, kApril};
    const ArchiveEntry one{"O", 1, 0, kApril};
    EXPECT_GT(compareEntries(huge, one, kColumnSize, collator), 0);
    EXPECT_EQ(compareEntries(one, one, kColumnSize, collator), 0);
    EXPECT_EQ(entryRow(huge).size, "2147483648");
}

// Memory ------------------------------------------------------------------------------------------

// A list that runs out of memory after a number of rows, or when it is sorted.
struct ShortOfMemoryHost : test::FakeHost {
    using test::FakeHost::FakeHost;
    int insertRow(int id, int position, std::uintptr_t data) override {
        if (rowsLeft-- == 0) throw std::bad_alloc();
        return test::FakeHost::insertRow(id, position, data);
    }
    void sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) override {
        if (sortFails) throw std::bad_alloc();
        test::FakeHost::sortRows(id, compare);
    }
    int rowsLeft = 1 << 30;
    bool sortFails = false;
};

TEST_F(ContentWindowTest, RunningOutOfMemoryEndsInMessage101) {
    test::writeFile(dir / "test.pod", test::layOutTimed(kSample));
    ASSERT_EQ(archive.open(dir / "test.pod"), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    auto texts = [](int id) { return loadString(id, Language::Neutral); };

    // Filling the list: the window does not open on a list that misses entries.
    ShortOfMemoryHost filling{kContentDialogId};
    filling.rowsLeft = 2;
    ContentWindow first(archive, owner, progress, texts, collator);
    filling.start(first);
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgOutOfMemory});
    EXPECT_EQ(filling.endResult, 0);

    // Sorting: the rows keep their order.
    sink.ids.clear();
    ShortOfMemoryHost sorting{kContentDialogId};
    ContentWindow second(archive, owner, progress, texts, collator);
    sorting.start(second);
    const Texts before = sorting.column(kColumnName);
    sorting.sortFails = true;
    second.onColumnClick(kList, kColumnName);
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgOutOfMemory});
    EXPECT_EQ(sorting.column(kColumnName), before);
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

// Selection, context menu, extract selected ----------------------------------------------------------

// Steps the packer window's bar and records what the hint said at each step.
struct HintWatch : ProgressSink {
    explicit HintWatch(test::FakeHost& h) : host(h) {}
    void setRange(int low, int high) override { ranges.emplace_back(low, high); }
    void step() override { hints.push_back(host.text(kHint)); }
    test::FakeHost& host;
    std::vector<std::pair<int, int>> ranges;
    Texts hints;
};

TEST_F(ContentWindowTest, MenuOffersItsCommandsForWhatIsSelectedAndCopiesTheStoredNames) {
    show({{"CAF\xC9\\NO\xCBL.TXT", "x", kApril}, {"ART\\A.PBM", "a", kApril}, {"README.TXT", "r", kApril}});
    // Rows: README.TXT, ART\A.PBM, CAFÉ\NOËL.TXT.
    window->onContextMenu(kList);
    ASSERT_EQ(host.menus.size(), 1u);
    const std::vector<MenuItem>& empty = host.menus[0];
    ASSERT_EQ(empty.size(), 6u);
    EXPECT_EQ(empty[0].text, "Open");
    EXPECT_EQ(empty[1].text, "Extract selected to ...");
    EXPECT_EQ(empty[2].text, "Copy name");
    EXPECT_EQ(empty[3].text, "Preview");
    EXPECT_EQ(empty[4].text, "Delete");
    EXPECT_EQ(empty[5].text, "Rename");
    for (int i : {0, 1, 2, 4, 5}) EXPECT_FALSE(empty[i].enabled) << empty[i].text;
    EXPECT_TRUE(empty[3].enabled) << "the pane is shown with no row too";

    host.select({0, 2}, 2);
    host.menuAnswer = kMenuCopyName;
    window->onContextMenu(kList + 1);  // another list's menu is not this one's
    window->onContextMenu(kList);
    ASSERT_EQ(host.menus.size(), 2u);
    for (const MenuItem& item : host.menus[1]) EXPECT_TRUE(item.enabled) << item.text;
    EXPECT_EQ(host.clipboard, "README.TXT\nCAFÉ\\NOËL.TXT");

    // Open takes the current row, as a double-click would.
    host.menuAnswer = kMenuOpen;
    window->onContextMenu(kList);
    ASSERT_EQ(owner.opened.size(), 1u);
    EXPECT_EQ(test::readFile(owner.opened[0]), "x");
    EXPECT_TRUE(host.pickerTitles.empty());
}

TEST_F(ContentWindowTest, ExtractSelectedWritesOnlyTheSelectionWithProgressAndEndInTheHint) {
    HintWatch bar(host);
    window.reset();
    test::writeFile(dir / "test.pod", test::layOutTimed(kSample));
    ASSERT_EQ(archive.open(dir / "test.pod"), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    window = std::make_unique<ContentWindow>(
        archive, owner, bar, [](int id) { return loadString(id, Language::Neutral); }, collator);
    host.start(*window);
    const std::string hint = host.text(kHint);
    EXPECT_EQ(hint, "Double clic on a file to open it");
    EXPECT_EQ(host.stretchColumns, (std::vector<int>{kColumnName, kColumnFolder}));

    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    bool disabledMeanwhile = false;
    host.duringPicker = [&] { disabledMeanwhile = !host.enabled(kClose) && !host.enabled(kExtractAll); };
    host.select({0, 2});  // README.TXT and ART\A.PBM
    host.menuAnswer = kMenuExtractSelected;
    window->onContextMenu(kList);
    EXPECT_EQ(host.pickerTitles, Texts{"Destination folder for POD extraction ==>"});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(host.enabled(kClose) && host.enabled(kExtractAll));
    EXPECT_EQ(test::readFile(root + "/ART/A.PBM"), std::string(1500, 'a'));
    EXPECT_EQ(test::modificationTime(root + "/ART/A.PBM"), kMay);
    EXPECT_EQ(test::readFile(root + "/README.TXT"), "read me");
    EXPECT_FALSE(test::exists(root + "/ART/B.PBM"));
    // The packer window's bar as for Extract all: one range, one step per entry.
    EXPECT_EQ(bar.ranges, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(bar.hints, (Texts{"Extracting: 0 / 2", "Extracting: 1 / 2"}));
    EXPECT_EQ(host.text(kHint), "2 files extracted to " + root);
    EXPECT_EQ(sink.count(), 0u);

    // The end stays until the next action.
    window->onColumnClick(kList, kColumnSize);
    EXPECT_EQ(host.text(kHint), hint);

    // One file; then nothing selected extracts nothing and asks for no folder.
    host.select({1});
    window->onExtractSelected();
    EXPECT_EQ(host.text(kHint), "1 file extracted to " + root);
    host.select({});
    window->onExtractSelected();
    EXPECT_EQ(host.pickerTitles.size(), 2u);
}

TEST_F(ContentWindowTest, EndTextCountsOnlyTheFilesWritten) {
    show(kSample, [](int id) { return loadString(id, Language::French); });
    const std::string hint = host.text(kHint);
    const std::string root = dir / "out";
    test::makeFolder(root + "/README.TXT");  // a folder where a file should go
    host.pickerAnswer = root;
    window->onCommand(kExtractAll);
    EXPECT_EQ(sink.systemErrors.size(), 1u);
    EXPECT_EQ(host.text(kHint), "2 fichiers extraits vers " + root);
    // Cancelling the picker keeps the hint's own text.
    host.pickerAnswer.reset();
    window->onCommand(kExtractAll);
    EXPECT_EQ(host.text(kHint), hint);
}

TEST(HintText, FillsInItsTwoPlaces) {
    EXPECT_EQ(fillIn("%1 files extracted to %2", "3", "/a%1b"), "3 files extracted to /a%1b");
    EXPECT_EQ(fillIn("100% %3 %", "x", "y"), "100% %3 %");
}

// Drag out ---------------------------------------------------------------------------------------

TEST_F(ContentWindowTest, DraggedRowsBecomeFilesWithTheirTimesInAPrivateFolderThatCloseRemoves) {
    show(kSample);
    EXPECT_TRUE(window->onDragRows(kList, {}).empty());
    const Texts files = window->onDragRows(kList, {2, 0, 2});  // ART\A.PBM, README.TXT
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].ends_with("/ART/A.PBM")) << files[0];
    EXPECT_TRUE(files[1].ends_with("/README.TXT")) << files[1];
    EXPECT_EQ(test::readFile(files[0]), std::string(1500, 'a'));
    EXPECT_EQ(test::modificationTime(files[0]), kMay);
    EXPECT_EQ(test::modificationTime(files[1]), kJune);
    const std::string folder = files[1].substr(0, files[1].size() - std::string("/README.TXT").size());
    struct stat status {};
    ASSERT_EQ(::stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077, 0u);  // within the user's private folder
    EXPECT_EQ(progress.steps, 2);
    EXPECT_EQ(host.text(kHint), "Double clic on a file to open it");

    // A second drag of the same row gets files of its own.
    const Texts again = window->onDragRows(kList, {0});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0], files[1]);
    EXPECT_TRUE(archive.tempFiles().empty());
    archive.close();
    EXPECT_FALSE(test::exists(files[0]));
    EXPECT_FALSE(test::exists(again[0]));
    EXPECT_FALSE(test::exists(folder));
}

TEST_F(ContentWindowTest, RowsThatCannotBeWrittenAreLeftOutOfTheDrag) {
    show({{"..\\EVIL.TXT", "e", kApril}, {"GOOD.TXT", "g", kApril}});
    const Texts files = window->onDragRows(kList, {0, 1});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].ends_with("/GOOD.TXT"));
    EXPECT_EQ(sink.systemErrors.size(), 1u);
}

}  // namespace
}  // namespace quillomar

namespace quillomar {
namespace {

class ContentWindowReportTest : public ContentWindowTest {};

TEST_F(ContentWindowReportTest, FailuresOfOneExtractionAreOneMessageWithTheCountAndTheFirstPaths) {
    std::vector<TimedEntry> entries;
    for (int i = 0; i < 40; ++i) entries.push_back({"..\\EVIL" + std::to_string(i), "e", kApril});
    entries.push_back({"GOOD.TXT", "g", kApril});
    show(entries);
    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    window->onCommand(kExtractAll);

    ASSERT_EQ(sink.count(), 1u);
    const std::string& message = sink.systemErrors[0];
    EXPECT_TRUE(message.starts_with("40 entries were not extracted:\n" + root + "/../EVIL0 (Permission denied)\n"))
        << message;
    EXPECT_NE(message.find("/../EVIL4 "), std::string::npos);
    EXPECT_EQ(message.find("/../EVIL5 "), std::string::npos);
    EXPECT_TRUE(message.ends_with("\n... and 35 more")) << message;
    EXPECT_EQ(host.text(kHint), "1 file extracted to " + root);
}

TEST_F(ContentWindowReportTest, EntriesWrittenOverAreToldOnceAtTheEndAndASingleFailureKeepsItsOwnBox) {
    show({{"A.TXT", "first", kApril}, {"A.TXT", "second", kApril}, {".\\A.TXT", "third", kApril},
          {"..\\EVIL", "e", kApril}},
         [](int id) { return loadString(id, Language::French); });
    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    window->onCommand(kExtractAll);
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_EQ(sink.systemErrors[0], "1 entrées n'ont pas été extraites :\n" + root +
                                        "/../EVIL (Permission denied)\n\n"
                                        "2 entrées ont été remplacées par une entrée suivante du même nom :\nA.TXT\nA.TXT");
    EXPECT_EQ(test::readFile(root + "/A.TXT"), "third");

    // One failure alone is the box it always was.
    sink.systemErrors.clear();
    host.select({rowOf("..\\EVIL")});
    window->onExtractSelected();
    EXPECT_EQ(sink.systemErrors, (Texts{"Permission denied\n==> " + root + "/../EVIL"}));
}

TEST_F(ContentWindowReportTest, EntriesSharingTheirDataAreToldBeforeTheExtraction) {
    // 200 entries over one 16 KiB range make an archive of about 21 KiB that extracts to 3.2 MB.
    std::vector<TimedEntry> entries{{"DATA", std::string(16384, 'd'), kApril}};
    for (int i = 0; i < 199; ++i) entries.push_back({"C" + std::to_string(i), "", kApril});
    std::string bytes = test::layOutTimed(entries);
    const std::uint32_t directory = test::getLe32(bytes, 264);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        test::putLe32(bytes, directory + 20 * i + 4, 16384);
        test::putLe32(bytes, directory + 20 * i + 8, test::getLe32(bytes, directory + 8));
    }
    test::writeFile(dir / "shared.pod", bytes);
    ASSERT_EQ(archive.open(dir / "shared.pod"), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    window = std::make_unique<ContentWindow>(
        archive, owner, progress, [](int id) { return loadString(id, Language::Neutral); }, collator);
    host.start(*window);
    const std::string root = dir / "out";
    test::makeFolder(root);
    host.pickerAnswer = root;
    window->onCommand(kExtractAll);
    ASSERT_EQ(sink.systemErrors.size(), 1u);
    EXPECT_EQ(sink.systemErrors[0], "These entries share their data: extraction writes 3276800 bytes, more than 100 "
                                    "times the size of the archive (" +
                                        std::to_string(bytes.size()) + " bytes).");
    EXPECT_EQ(test::readFile(root + "/C198"), std::string(16384, 'd'));
}

}  // namespace
}  // namespace quillomar
