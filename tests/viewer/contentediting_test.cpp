// The content window's edits against a fake host: files and folders dropped on the list, Delete,
// F2 and the row menu, with their questions; edits of the rows a filter leaves; a POD2 archive
// only shown; a failed or refused edit leaving the archive's bytes and the list as they were.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "viewer/contentwindow.h"
#include "contentwindowfixture.h"

namespace quillomar {
namespace {

using namespace viewer;
using Names = std::vector<std::string>;

const FileTime kApril = test::utc(2003, 4, 28, 14, 5, 8);

class ContentEditingTest : public test::ContentWindowFixture {
protected:
    // Opens an archive of ART\A.PBM, ART\B.PBM and README.TXT (POD3, or POD2) in the window.
    void show(bool pod2 = false) {
        const std::vector<test::RawEntry> raw{{"ART\\A.PBM", "aaaa", encodeTimestamp(kApril)},
                                              {"ART\\B.PBM", "bb", encodeTimestamp(kApril)},
                                              {"README.TXT", "read me", encodeTimestamp(kApril)}};
        test::writeFile(path, pod2 ? test::layOutPod2(raw, "Old") : test::layOutPod3(raw, "Edit test", "", "", 1000));
        before = test::readFile(path);
        ASSERT_EQ(archive.open(path), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
        window = std::make_unique<ContentWindow>(archive, owner, progress,
                                                 [](int id) { return loadString(id, Language::Neutral); });
        host.start(*window);
        hint = host.text(kHint);
    }
    // The stored names the rows show, sorted.
    Names rowNames() const {
        Names names;
        for (int row = 0; row < host.rowCount(kList); ++row) names.push_back(window->rowEntry(row)->name);
        std::sort(names.begin(), names.end());
        return names;
    }
    // The archive file as it is on disk, read apart from the window's.
    Names namesOnDisk() const {
        Names names = test::storedNames(path);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dataOnDisk(const std::string& stored) const {
        PodArchive reader;
        if (reader.open(path) != 1 || reader.readDirectory() != 1) return "(unreadable)";
        for (const ArchiveEntry& entry : reader.entries()) {
            if (entry.name != stored) continue;
            std::string data(static_cast<std::size_t>(entry.size), '\0');
            if (reader.readEntryData(entry, 0, std::as_writable_bytes(std::span(data))).count != entry.size) return "(short)";
            return data;
        }
        return "(missing)";
    }
    // Nothing was written, and the list still shows the archive as it was.
    void expectUnchanged() const {
        EXPECT_EQ(test::readFile(path), before);
        EXPECT_EQ(rowNames(), (Names{"ART\\A.PBM", "ART\\B.PBM", "README.TXT"}));
        EXPECT_EQ(host.text(kHint), hint);
        EXPECT_TRUE(host.enabled(kClose));
        EXPECT_TRUE(host.enabled(kExtractAll));
    }

    const std::string path = dir / "mod.pod";
    std::string before;
    std::string hint;
};

// Drops ---------------------------------------------------------------------------------------------

TEST_F(ContentEditingTest, DroppedFilesAndFoldersAreAddedAtTheTopUnderTheirOwnNames) {
    show();
    EXPECT_TRUE(host.takesDrops);
    test::writeFile(dir / "in/x.txt", "new x");
    test::writeFile(dir / "in/maps/level1.map", "map 1");
    test::writeFile(dir / "in/maps/deep/level2.map", "map 2");
    window->onListDrop(kList, {dir / "in/x.txt", dir / "in/maps/"});

    EXPECT_TRUE(host.questions.empty());  // nothing replaced: nothing asked
    const Names expected{"ART\\A.PBM",       "ART\\B.PBM", "MAPS\\DEEP\\LEVEL2.MAP",
                         "MAPS\\LEVEL1.MAP", "README.TXT", "X.TXT"};
    EXPECT_EQ(namesOnDisk(), expected);
    EXPECT_EQ(rowNames(), expected);  // the list shows the archive as it now is
    EXPECT_EQ(dataOnDisk("X.TXT"), "new x");
    EXPECT_EQ(dataOnDisk("ART\\A.PBM"), "aaaa");
    // The cells come from the archive read again.
    EXPECT_EQ(host.cells(static_cast<std::size_t>(rowOf("MAPS\\LEVEL1.MAP")))[kColumnFolder], "MAPS\\");
    // The write drove the bar, and the hint went back to its own text.
    ASSERT_FALSE(progress.ranges.empty());
    EXPECT_EQ(progress.ranges.back(), (std::pair<int, int>{0, 6}));
    EXPECT_EQ(host.text(kHint), hint);
    EXPECT_TRUE(host.enabled(kClose) && host.enabled(kExtractAll));
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ContentEditingTest, ReplacingEntriesAsksOnceWithTheCount) {
    struct Row {
        const char* what;
        std::vector<std::string> dropped;  // below the test folder
        bool answer;
        std::string question;
    };
    const Row rows[] = {
        {"one replaced, yes", {"readme.txt", "new.txt"}, true, "Replace 1 entry?"},
        {"one replaced, no", {"readme.txt", "new.txt"}, false, "Replace 1 entry?"},
        {"a folder replacing two, yes", {"art"}, true, "Replace 2 entries?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempDir files;
        test::writeFile(files / "readme.txt", "replaced");
        test::writeFile(files / "new.txt", "new");
        test::writeFile(files / "art/A.pbm", "A2");
        test::writeFile(files / "art/b.PBM", "B2");
        archive.close();
        host = test::FakeHost{kContentDialogId};
        progress = {};
        show();
        host.questionAnswer = row.answer;
        std::vector<std::string> paths;
        for (const std::string& name : row.dropped) paths.push_back(files / name);
        window->onListDrop(kList, paths);
        EXPECT_EQ(host.questions, (Names{row.question}));
        if (!row.answer) {
            expectUnchanged();
            continue;
        }
        EXPECT_NE(test::readFile(path), before);
        EXPECT_EQ(rowNames(), namesOnDisk());
    }
    // The last row replaced both pictures, keeping their stored names.
    EXPECT_EQ(dataOnDisk("ART\\A.PBM"), "A2");
    EXPECT_EQ(dataOnDisk("ART\\B.PBM"), "B2");
    EXPECT_EQ(namesOnDisk(), (Names{"ART\\A.PBM", "ART\\B.PBM", "README.TXT"}));
}

// Delete ----------------------------------------------------------------------------------------------

TEST_F(ContentEditingTest, DeleteAsksWithTheCountThenRemovesTheSelection) {
    show();
    host.select({rowOf("ART\\A.PBM"), rowOf("README.TXT")}, rowOf("README.TXT"));
    host.questionAnswer = false;
    window->onListKey(kList, ListKey::Delete);
    EXPECT_EQ(host.questions, (Names{"Delete 2 entries?"}));
    expectUnchanged();

    host.questionAnswer = true;
    window->onListKey(kList, ListKey::Delete);
    EXPECT_EQ(namesOnDisk(), (Names{"ART\\B.PBM"}));
    EXPECT_EQ(rowNames(), (Names{"ART\\B.PBM"}));
    EXPECT_EQ(dataOnDisk("ART\\B.PBM"), "bb");

    // The row menu's Delete, for one entry; nothing selected: nothing asked.
    host.select({0}, 0);
    host.menuAnswer = kMenuDelete;
    window->onContextMenu(kList);
    EXPECT_EQ(host.questions.back(), "Delete 1 entry?");
    EXPECT_TRUE(host.rows.empty());
    host.select({});
    window->onListKey(kList, ListKey::Delete);
    EXPECT_EQ(host.questions.size(), 3u);
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ContentEditingTest, RowMenuOffersDeleteForASelectionAndRenameForTheCurrentRow) {
    show();
    host.select({}, -1);
    window->onContextMenu(kList);
    host.select({1}, 1);
    window->onContextMenu(kList);
    ASSERT_EQ(host.menus.size(), 2u);
    auto item = [&](std::size_t menu, int command) {
        for (const MenuItem& entry : host.menus[menu]) {
            if (entry.command == command) return entry;
        }
        return MenuItem{};
    };
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(item(i, kMenuDelete).text, "Delete");
        EXPECT_EQ(item(i, kMenuRename).text, "Rename");
        EXPECT_EQ(item(i, kMenuDelete).enabled, i == 1);
        EXPECT_EQ(item(i, kMenuRename).enabled, i == 1);
    }
}

// Rename ----------------------------------------------------------------------------------------------

TEST_F(ContentEditingTest, F2EditsTheWholeFileNameAndEnterAppliesItWithinItsFolder) {
    show();
    const int row = rowOf("ART\\B.PBM");
    host.select({row}, row);
    window->onListKey(kList, ListKey::Rename);
    ASSERT_TRUE(host.editing.has_value());
    EXPECT_EQ(host.editing->row, row);
    EXPECT_EQ(host.editing->text, "B.PBM");

    window->onRowTextEdited(kList, row, "c.pbm");
    EXPECT_EQ(namesOnDisk(), (Names{"ART\\A.PBM", "ART\\C.PBM", "README.TXT"}));
    EXPECT_EQ(rowNames(), namesOnDisk());
    EXPECT_EQ(dataOnDisk("ART\\C.PBM"), "bb");
    // The rebuilt list keeps the order of the last sort.
    window->onColumnClick(kList, kColumnName);
    window->onRowTextEdited(kList, rowOf("ART\\C.PBM"), "0.pbm");
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"0", "A", "README"}));

    // The menu's Rename opens the editor on the current row as F2 does.
    host.editing.reset();
    host.select({}, rowOf("README.TXT"));
    host.menuAnswer = kMenuRename;
    window->onContextMenu(kList);
    ASSERT_TRUE(host.editing.has_value());
    EXPECT_EQ(host.editing->text, "README.TXT");
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ContentEditingTest, NamesThatCannotBeGivenAreRefusedAndLeaveTheArchiveAsItWas) {
    struct Row {
        const char* what;
        std::string name;
        int message;         // a string-table message, or 0
        std::size_t errors;  // system-error boxes
    };
    const Row rows[] = {
        {"empty", "", kInvalidNameMessage, 0},
        {"with a separator", "x\\y.pbm", kInvalidNameMessage, 0},
        {"with a slash", "x/y.pbm", kInvalidNameMessage, 0},
        {"dot dot", "..", kInvalidNameMessage, 0},
        {"the same in another case", "b.pbm", 0, 0},
        {"another entry's", "a.PBM", 0, 1},
        {"not in the code page", "\xE6\x97\xA5.pbm", 0, 1},
        {"too long", std::string(300, 'n'), 0, 1},
    };
    show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sink.ids.clear();
        sink.systemErrors.clear();
        window->onRowTextEdited(kList, rowOf("ART\\B.PBM"), row.name);
        EXPECT_EQ(sink.ids, row.message == 0 ? std::vector<int>{} : std::vector<int>{row.message});
        EXPECT_EQ(sink.systemErrors.size(), row.errors);
        expectUnchanged();
    }
}

// Under a filter ------------------------------------------------------------------------------------

TEST_F(ContentEditingTest, DeleteUnderAFilterRemovesTheRowShownAndTheRebuiltListIsFilteredAgain) {
    show();
    window->togglePreview();
    host.type(kFilter, "art");
    EXPECT_EQ(host.text(kHint), "2 of 3 entries");
    ASSERT_EQ(rowNames(), (Names{"ART\\A.PBM", "ART\\B.PBM"}));
    const int row = rowOf("ART\\A.PBM");
    host.select({row}, row);
    host.moveTo(row);
    ASSERT_NE(host.pane.kind, PaneContent::Kind::Empty);

    window->onListKey(kList, ListKey::Delete);
    EXPECT_EQ(host.questions, (Names{"Delete 1 entry?"}));
    EXPECT_EQ(namesOnDisk(), (Names{"ART\\B.PBM", "README.TXT"}));
    // The rows are the edited archive's that the box's text still takes, and the count is theirs.
    EXPECT_EQ(host.text(kFilter), "art");
    EXPECT_EQ(rowNames(), (Names{"ART\\B.PBM"}));
    EXPECT_EQ(host.text(kHint), "1 of 2 entries");
    // The pane no longer shows the removed entry.
    EXPECT_EQ(host.pane.kind, PaneContent::Kind::Empty);

    // Emptied, the box gives the whole edited archive back and the hint its own text.
    host.type(kFilter, "");
    EXPECT_EQ(rowNames(), namesOnDisk());
    EXPECT_EQ(host.text(kHint), hint);
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ContentEditingTest, EntryRenamedOutOfAFilterLeavesTheRowsShown) {
    show();
    host.type(kFilter, "*.pbm");
    window->onColumnClick(kList, kColumnName);
    window->onRowTextEdited(kList, rowOf("ART\\A.PBM"), "c.pbm");
    // Still taken, and in the order of the last sort.
    EXPECT_EQ(host.column(kColumnName), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(host.text(kHint), "2 of 3 entries");

    window->onRowTextEdited(kList, rowOf("ART\\B.PBM"), "b.txt");
    EXPECT_EQ(namesOnDisk(), (Names{"ART\\B.TXT", "ART\\C.PBM", "README.TXT"}));
    EXPECT_EQ(rowNames(), (Names{"ART\\C.PBM"}));
    EXPECT_EQ(host.text(kHint), "1 of 3 entries");
    EXPECT_EQ(sink.count(), 0u);
}

// What cannot be edited -----------------------------------------------------------------------------

TEST_F(ContentEditingTest, Pod2ArchiveIsOnlyShownAndEachEditSaysSo) {
    show(true);
    EXPECT_EQ(host.rows.size(), 3u);
    test::writeFile(dir / "x.txt", "x");
    host.select({0, 1}, 0);
    const std::vector<std::function<void()>> attempts{
        [&] { window->onListDrop(kList, {dir / "x.txt"}); },
        [&] { window->onListKey(kList, ListKey::Delete); },
        [&] { window->onListKey(kList, ListKey::Rename); },
        [&] {
            host.menuAnswer = kMenuRename;
            window->onContextMenu(kList);
        },
    };
    for (const std::function<void()>& attempt : attempts) attempt();
    EXPECT_EQ(sink.ids, std::vector<int>(4, kReadOnlyMessage));
    EXPECT_TRUE(host.questions.empty());
    EXPECT_FALSE(host.editing.has_value());
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(host.rows.size(), 3u);
}

TEST_F(ContentEditingTest, FailedWriteIsShownAndLeavesTheArchiveAndTheListAsTheyWere) {
    show();
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);  // refused by its mode bits, even to root
    test::writeFile(dir / "x.txt", "x");
    window->onListDrop(kList, {dir / "x.txt"});
    host.select({0}, 0);
    window->onListKey(kList, ListKey::Delete);
    EXPECT_EQ(sink.systemErrors.size(), 2u);
    expectUnchanged();
    // The rows still refer to the entries they show.
    EXPECT_EQ(host.cells(static_cast<std::size_t>(rowOf("README.TXT")))[kColumnSize], "7");
    // A dropped path that does not exist is a problem of the plan: one box, nothing written.
    sink.systemErrors.clear();
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    window->onListDrop(kList, {dir / "missing.txt", dir / "x.txt"});
    EXPECT_EQ(sink.systemErrors.size(), 1u);
    expectUnchanged();
}

}  // namespace
}  // namespace quillomar
