// Start-up, the texts of both languages, the dialog templates and the dialog manager's rules for
// reading texts and numbers.

#include <gtest/gtest.h>

#include <set>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "packer/packerwindow.h"
#include "platform/dialoghost.h"

namespace quillomar {
namespace {

// Command line -----------------------------------------------------------------------------------

TEST(CommandLine, TailQuotesTheJoinedArguments) {
    EXPECT_EQ(commandLineTail({"quillomar"}), "");
    EXPECT_EQ(commandLineTail({"quillomar", "/home/me/mods/x.pod"}), "\"/home/me/mods/x.pod\"");
    EXPECT_EQ(commandLineTail({"quillomar", "/home/me/my mods/x.pod"}), "\"/home/me/my mods/x.pod\"");
    EXPECT_EQ(commandLineTail({"quillomar", "a", "b"}), "\"a b\"");
    EXPECT_EQ(commandLineTail({}), "");
}

TEST(CommandLine, FullLineQuotesArgumentsHoldingBlanksOrTabs) {
    EXPECT_EQ(fullCommandLine({"./build/bin/quillomar"}), "./build/bin/quillomar");
    EXPECT_EQ(fullCommandLine({"/opt/my apps/quillomar", "/RegServer"}), "\"/opt/my apps/quillomar\" /RegServer");
    EXPECT_EQ(fullCommandLine({"q", "a\tb", "c"}), "q \"a\tb\" c");
}

TEST(CommandLine, WindowReceivesThePathAndIsPublishedWhileItRuns) {
    PackerWindow* seen = nullptr;
    std::string path;
    const int status = runWindowProgram({"/usr/bin/quillomar", "/home/me/x.pod"}, [&](PackerWindow& window) {
        seen = moduleState().packerWindow;
        EXPECT_EQ(seen, &window);
        path = window.commandLinePath();
    });
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(path, "/home/me/x.pod");
    EXPECT_EQ(moduleState().packerWindow, nullptr);
    EXPECT_EQ(moduleState().programPath, "/usr/bin/quillomar");
    EXPECT_EQ(status, 0);
}

TEST(CommandLine, NoArgumentGivesAnEmptyPath) {
    bool ran = false;
    EXPECT_EQ(runWindowProgram({"quillomar"}, [&](PackerWindow& window) {
                  ran = true;
                  EXPECT_TRUE(window.commandLinePath().empty());
              }),
              0);
    EXPECT_TRUE(ran);
}

// Texts --------------------------------------------------------------------------------------------

TEST(Strings, MessagesExistInBothLanguages) {
    EXPECT_EQ(loadString(104, Language::French), "Ce n'est pas un répertoire OU un fichier POD !");
    EXPECT_EQ(loadString(104, Language::Neutral), "Not a directory or a POD file drop !");
    EXPECT_EQ(loadString(111, Language::French), "Ce fichier POD est endommagé ou incomplet !");
    EXPECT_EQ(loadString(111, Language::Neutral), "This POD file is damaged or incomplete !");
}

TEST(Strings, MessageBufferHoldsTheLongestTextWhole) {
    const std::string memory = loadString(101, Language::Neutral);
    EXPECT_EQ(memory.size(), 74u);
    EXPECT_EQ(loadString(101, Language::Neutral, kMessageBufferSize), memory);
    EXPECT_NE(memory.find('\n'), std::string::npos);
    // A 20-character buffer holds 19 characters, accented ones counted once.
    EXPECT_EQ(loadString(102, Language::French, 20), "Répertoire destinat");
}

// Templates ---------------------------------------------------------------------------------------------

TEST(Templates, PackerDialogHoldsEveryControlOnce) {
    const DialogTemplate* dialog = findDialogTemplate(kPackerDialogId);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->controls.size(), 29u);
    std::set<int> ids;
    for (const ControlTemplate& c : dialog->controls) {
        if (c.id != kNoControlId) {
            EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        }
        for (Language language : {Language::French, Language::Neutral}) {
            const DialogRect r = c.rectIn(language);
            EXPECT_LE(r.x + r.width, dialog->width) << c.id;
            EXPECT_LE(r.y + r.height, dialog->height) << c.id;
        }
    }
    const std::set<int> expected{1, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214};
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(findDialogTemplate(kContentDialogId)->control(217)->kind, ControlKind::ListView);
    EXPECT_EQ(findDialogTemplate(101), nullptr);
}

TEST(Templates, OnlyTwoLabelWidthsDifferBetweenTheLanguages) {
    const DialogTemplate* dialog = findDialogTemplate(kPackerDialogId);
    std::vector<std::pair<std::string_view, std::pair<int, int>>> differing;
    for (const ControlTemplate& c : dialog->controls) {
        const int french = c.rectIn(Language::French).width;
        const int neutral = c.rectIn(Language::Neutral).width;
        if (french != neutral) differing.push_back({c.text.neutral, {french, neutral}});
    }
    using Row = std::pair<std::string_view, std::pair<int, int>>;
    const std::vector<Row> expected{{"Number of file", {60, 44}}, {"Sub directories", {52, 48}}};
    EXPECT_EQ(differing, expected);
}

// Dialog manager rules --------------------------------------------------------------------------------

TEST(DialogRules, NumbersAreReadWhole) {
    EXPECT_EQ(parseDialogInt("12"), 12);
    EXPECT_EQ(parseDialogInt("-5"), -5);
    EXPECT_EQ(parseDialogInt("+5"), 5);
    EXPECT_EQ(parseDialogInt("  42\t"), 42);
    EXPECT_EQ(parseDialogInt("0042"), 42);
    EXPECT_EQ(parseDialogInt("2147483647"), 2147483647);
    EXPECT_EQ(parseDialogInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", " ", "-", "abc", "12abc", "1 2", "2147483648", "-2147483649",
                            "99999999999999999999999", "1.5", "0x10"}) {
        EXPECT_EQ(parseDialogInt(bad), std::nullopt) << bad;
    }
}

TEST(DialogRules, TextsAreCutAtCharactersNotBytes) {
    EXPECT_EQ(firstCharacters("abc", 2), "ab");
    EXPECT_EQ(firstCharacters("abc", 5), "abc");
    EXPECT_EQ(firstCharacters("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
    EXPECT_EQ(firstCharacters("\xE2\x82\xAC\xE2\x82\xAC", 1), "\xE2\x82\xAC");
    EXPECT_EQ(firstCharacters("x", 0), "");
}

}  // namespace
}  // namespace quillomar
