// The content window's filter box and preview pane against a fake host: which rows a typed text
// or pattern leaves, in which order, with their count in the hint; Escape in the box; what the
// row menu and extraction take from filtered rows; F3, Ctrl+F and the pane's remembered state;
// what the pane is given for each kind of entry.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "imagefiles.h"
#include "platform/fileio.h"
#include "platform/settings.h"
#include "viewer/contentwindow.h"
#include "contentwindowfixture.h"

namespace quillomar {
namespace {

using namespace viewer;
using test::TimedEntry;
using Names = std::vector<std::string>;
using Kind = PaneContent::Kind;

const FileTime kApril = test::utc(2003, 4, 28, 14, 5, 8);

// Stored names in code page 1252: CAFÉ is C A F \xC9.
const std::vector<TimedEntry> kTree{
    {"ART\\PLANES\\F16.PBM", std::string(300, 'p'), kApril},
    {"ART\\SKY.TGA", std::string(20, 't'), kApril},
    {"CAF\xC9\\MENU.TXT", "menu", kApril},
    {"README.TXT", "read me, please", kApril},
    {"SOUND\\ENGINE.WAV", std::string(5000, 'w'), kApril},
    {"ARTWORK.TXT", "art", kApril},
};

class ContentFindTest : public test::ContentWindowFixture {
protected:
    void show(const std::vector<TimedEntry>& entries, ContentWindow::PaneMemory memory = {}) {
        test::writeFile(dir / "test.pod", test::layOutTimed(entries));
        ASSERT_EQ(archive.open(dir / "test.pod"), 1);
        ASSERT_EQ(archive.readDirectory(), 1);
        window = std::make_unique<ContentWindow>(
            archive, owner, progress, [](int id) { return loadString(id, Language::Neutral); }, collator);
        window->rememberPreviewIn(std::move(memory));
        host.start(*window);
    }
    // The stored names of the rows, top first.
    Names shown() const {
        Names names;
        for (int row = 0; row < host.rowCount(kList); ++row) names.push_back(window->rowEntry(row)->name);
        return names;
    }
};

// Filter ----------------------------------------------------------------------------------------

TEST_F(ContentFindTest, TypedTextOrPatternLeavesTheRowsItMatches) {
    struct Row {
        const char* typed;
        Names rows;  // in the list's order: the reverse of the directory's
    };
    const Row rows[] = {
        // Plain text: anywhere in the path, folders included, in any case, '/' as '\'.
        {"txt", {"ARTWORK.TXT", "README.TXT", "CAF\xC9\\MENU.TXT"}},
        {"art", {"ARTWORK.TXT", "ART\\SKY.TGA", "ART\\PLANES\\F16.PBM"}},
        {"art/", {"ART\\SKY.TGA", "ART\\PLANES\\F16.PBM"}},
        {"t\\p", {"ART\\PLANES\\F16.PBM"}},
        {"caf\xC3\xA9", {"CAF\xC9\\MENU.TXT"}},  // "café" finds CAFÉ
        {"\xD0\xB6", {}},                        // a letter code page 1252 has not
        {"please", {}},                          // the bytes are not searched, only names
        {"*", {}},                               // (listed below: every name)
        // A pattern without a separator: each entry's name, at any depth.
        {"*.txt", {"ARTWORK.TXT", "README.TXT", "CAF\xC9\\MENU.TXT"}},
        {"?16.*", {"ART\\PLANES\\F16.PBM"}},
        {"[a-m]*.t[gx][at]", {"ARTWORK.TXT", "CAF\xC9\\MENU.TXT"}},
        // With a separator: the path from the top; a folder takes all below it.
        {"art/*", {"ART\\SKY.TGA", "ART\\PLANES\\F16.PBM"}},
        {"art\\*.tga", {"ART\\SKY.TGA"}},
        {"**/*.pbm", {"ART\\PLANES\\F16.PBM"}},
        {"*/planes", {"ART\\PLANES\\F16.PBM"}},
        {"**/plan?s", {"ART\\PLANES\\F16.PBM"}},
        {"**/art/", {"ART\\SKY.TGA", "ART\\PLANES\\F16.PBM"}},  // a folder only
        {"art/**/f*", {"ART\\PLANES\\F16.PBM"}},
        {"[", {}},
    };
    show(kTree);
    for (const Row& row : rows) {
        host.type(kFilter, row.typed);
        Names expected = row.rows;
        if (std::string(row.typed) == "*") expected = shown();  // checked apart below
        EXPECT_EQ(shown(), expected) << row.typed;
    }
    host.type(kFilter, "*");
    EXPECT_EQ(shown().size(), kTree.size());
}

TEST_F(ContentFindTest, HintCountsTheRowsShownAndComesBackWhenTheBoxIsEmptied) {
    show(kTree);
    const std::string own = host.text(kHint);
    host.type(kFilter, "txt");
    EXPECT_EQ(host.text(kHint), "3 of 6 entries");
    host.type(kFilter, "nothing here");
    EXPECT_EQ(host.text(kHint), "0 of 6 entries");
    host.type(kFilter, "");
    EXPECT_EQ(host.text(kHint), own);
    EXPECT_EQ(shown().size(), 6u);
}

TEST_F(ContentFindTest, FilteredRowsKeepTheLastSortAndTheWholeListComesBackInIt) {
    show(kTree);
    window->onColumnClick(kList, kColumnSize);
    host.type(kFilter, "txt");
    EXPECT_EQ(shown(), (Names{"ARTWORK.TXT", "CAF\xC9\\MENU.TXT", "README.TXT"}));
    host.type(kFilter, "");
    EXPECT_EQ(shown(), (Names{"ARTWORK.TXT", "CAF\xC9\\MENU.TXT", "README.TXT", "ART\\SKY.TGA", "ART\\PLANES\\F16.PBM",
                              "SOUND\\ENGINE.WAV"}));
    // The same text again fills nothing again.
    const int clears = host.clears;
    window->onEditChange(kFilter);
    EXPECT_EQ(host.clears, clears);
}

TEST_F(ContentFindTest, EscapeEmptiesAFilterBoxHoldingTextThenMeansExtractAll) {
    show(kTree);
    host.pickerAnswer = std::nullopt;
    host.type(kFilter, "txt");
    window->onCommand(kExtractAll);  // Escape, the focus in the box
    EXPECT_EQ(host.text(kFilter), "");
    EXPECT_EQ(shown().size(), 6u);
    EXPECT_TRUE(host.pickerTitles.empty()) << "emptying the box does nothing else";
    window->onCommand(kExtractAll);
    EXPECT_EQ(host.pickerTitles.size(), 1u);

    // Elsewhere Escape keeps its meaning, whatever the box holds.
    host.type(kFilter, "txt");
    host.setFocusItem(kList);
    window->onCommand(kExtractAll);
    EXPECT_EQ(host.pickerTitles.size(), 2u);
    EXPECT_EQ(host.text(kFilter), "txt");
}

TEST_F(ContentFindTest, SelectionMenuAndExtractionWorkOnTheRowsShownAndExtractAllOnAll) {
    show(kTree);
    host.type(kFilter, "*.txt");
    host.select({0, 2}, 2);  // ARTWORK.TXT and CAFÉ\MENU.TXT
    const std::string some = dir / "some";
    ASSERT_FALSE(createFolders(some).failed());
    host.pickerAnswer = some;
    host.menuAnswer = kMenuExtractSelected;
    window->onContextMenu(kList);
    EXPECT_EQ(test::readFile(some + "/ARTWORK.TXT"), "art");
    EXPECT_EQ(test::readFile(some + "/CAF\xC3\x89/MENU.TXT"), "menu");
    EXPECT_FALSE(test::exists(some + "/README.TXT"));

    host.menuAnswer = kMenuCopyName;
    window->onContextMenu(kList);
    EXPECT_EQ(host.clipboard, "ARTWORK.TXT\nCAF\xC3\x89\\MENU.TXT");

    const std::vector<std::string> dragged = window->onDragRows(kList, {1});
    ASSERT_EQ(dragged.size(), 1u);
    EXPECT_EQ(test::readFile(dragged[0]), "read me, please");

    const std::string all = dir / "all";
    ASSERT_FALSE(createFolders(all).failed());
    host.pickerAnswer = all;
    host.setFocusItem(kList);
    window->onCommand(kExtractAll);
    EXPECT_EQ(test::readFile(all + "/SOUND/ENGINE.WAV"), std::string(5000, 'w'));
    EXPECT_EQ(host.text(kHint), "6 files extracted to " + all);
}

TEST_F(ContentFindTest, CtrlFPutsTheFocusInTheBoxAndEnterThereGoesOnToTheList) {
    show(kTree);
    host.setFocusItem(kList);
    EXPECT_TRUE(host.press('F', true));
    EXPECT_EQ(host.focusedItem(), kFilter);
    EXPECT_FALSE(host.press('F')) << "F alone is typing";
    window->onCommand(kClose);  // Enter, through the default button
    EXPECT_EQ(host.focusedItem(), kList);
    EXPECT_FALSE(host.endResult.has_value()) << "the window stays";
    window->onCommand(kClose);
    EXPECT_EQ(host.endResult, 1);
}

// Preview pane ------------------------------------------------------------------------------------

TEST_F(ContentFindTest, F3AndTheMenuShowAndHideThePaneWhichRemembersItsState) {
    std::vector<bool> saved;
    show(kTree, {[] { return false; }, [&](bool shown) { saved.push_back(shown); }});
    EXPECT_FALSE(host.isItemShown(kPreview)) << "hidden at first";
    EXPECT_TRUE(host.press(kKeyF3));
    EXPECT_TRUE(host.isItemShown(kPreview));
    host.menuAnswer = kMenuPreview;
    window->onContextMenu(kList);
    EXPECT_FALSE(host.isItemShown(kPreview));
    EXPECT_EQ(saved, (std::vector<bool>{true, false}));

    // Hidden, the pane is not filled as the current row moves.
    const int updates = host.paneUpdates;
    host.moveTo(rowOf("README.TXT"));
    EXPECT_EQ(host.paneUpdates, updates);

    // Remembered as shown: shown at the start, with the current row (none yet).
    test::FakeHost second{kContentDialogId};
    ContentWindow again(
        archive, owner, progress, [](int id) { return loadString(id, Language::Neutral); }, collator);
    again.rememberPreviewIn({[] { return true; }, [](bool) {}});
    second.start(again);
    EXPECT_TRUE(second.isItemShown(kPreview));
    EXPECT_EQ(second.pane.kind, Kind::Empty);
}

TEST_F(ContentFindTest, PaneShowsEachKindOfEntryForTheCurrentRow) {
    const test::Picture picture = test::patternPicture(3, 2, true);
    test::TgaLayout tga;
    tga.pixelBits = 32;
    tga.attributeBits = 8;
    const std::string png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    show({{"TEXT.TXT", "Hello\nworld", kApril},
          {"SKY.TGA", test::encodeTga(picture, tga), kApril},
          {"ICON.PNG", png, kApril},
          {"DATA.BIN", std::string("\x01\x02\x00\xFFhi", 6), kApril},
          {"BROKEN.TGA", "\x00\x00\x02", kApril}});
    host.press(kKeyF3);

    host.moveTo(rowOf("TEXT.TXT"));
    EXPECT_EQ(host.pane.kind, Kind::Text);
    EXPECT_EQ(host.pane.text, "Hello\nworld");

    host.moveTo(rowOf("SKY.TGA"));
    ASSERT_EQ(host.pane.kind, Kind::Pixels);
    EXPECT_EQ(host.pane.width, 3);
    EXPECT_EQ(host.pane.height, 2);
    EXPECT_EQ(host.pane.pixels, picture.pixels);
    EXPECT_EQ(host.pane.sizeFormat, "%1 \xC3\x97 %2 pixels");

    host.moveTo(rowOf("ICON.PNG"));
    ASSERT_EQ(host.pane.kind, Kind::EncodedImage);
    EXPECT_EQ(host.pane.encoded.size(), png.size()) << "the toolkit gets the whole entry";
    EXPECT_EQ(host.pane.failureText, "cannot be shown");

    host.moveTo(rowOf("DATA.BIN"));
    EXPECT_EQ(host.pane.kind, Kind::FixedText);
    EXPECT_EQ(host.pane.text.substr(0, 10), "00000000  ");

    host.moveTo(rowOf("BROKEN.TGA"));
    EXPECT_EQ(host.pane.kind, Kind::Message);
    EXPECT_EQ(host.pane.text, "cannot be shown");

    // A filter that leaves no current row empties the pane.
    host.type(kFilter, "nothing");
    EXPECT_EQ(host.pane.kind, Kind::Empty);
}

// Settings file -----------------------------------------------------------------------------------

TEST(SettingsFile, OneSettingIsWrittenOthersKept) {
    struct Row {
        const char* before;
        const char* after;  // with preview=shown
    };
    for (const Row& row : {Row{"", "preview=shown\n"}, Row{"preview=hidden\n", "preview=shown\n"},
                           Row{"size=3\npreview=hidden", "size=3\npreview=shown\n"},
                           Row{"garbage\nsize=3\n", "size=3\npreview=shown\n"}}) {
        EXPECT_EQ(withSetting(row.before, "preview", "shown"), row.after) << row.before;
        EXPECT_EQ(settingIn(row.after, "preview"), "shown");
    }
    EXPECT_EQ(settingIn("previewx=1\n", "preview"), std::nullopt);
}

TEST(SettingsFile, LivesInTheConfigFolder) {
    test::TempDir home;
    test::ScopedEnv config("XDG_CONFIG_HOME", (home / "config").c_str());
    EXPECT_EQ(readSetting("preview"), std::nullopt);
    ASSERT_FALSE(writeSetting("preview", "shown").failed());
    ASSERT_FALSE(writeSetting("other", "1").failed());
    EXPECT_EQ(readSetting("preview"), "shown");
    EXPECT_EQ(test::readFile(home / "config/quillomar/settings"), "preview=shown\nother=1\n");
}

}  // namespace
}  // namespace quillomar
