// Start-up, the message buffer, the dialog template's layout and the dialog manager's rules for
// reading texts and numbers.

#include <gtest/gtest.h>

#include <set>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "dialog/dialoghost.h"
#include "packer/packerwindow.h"

namespace quillomar {
namespace {

TEST(CommandLine, TailQuotesTheJoinedArgumentsAndTheFullLineQuotesThoseWithBlanks) {
    using Args = std::vector<std::string>;
    const std::pair<Args, std::string> tails[] = {
        {{"quillomar"}, ""},
        {{}, ""},
        {{"quillomar", "/home/me/my mods/x.pod"}, "\"/home/me/my mods/x.pod\""},
        {{"quillomar", "a", "b"}, "\"a b\""}};
    for (const auto& [args, tail] : tails) EXPECT_EQ(commandLineTail(args), tail) << tail;
    EXPECT_EQ(fullCommandLine({"./build/bin/quillomar"}), "./build/bin/quillomar");
    EXPECT_EQ(fullCommandLine({"/opt/my apps/quillomar", "/RegServer"}), "\"/opt/my apps/quillomar\" /RegServer");
    EXPECT_EQ(fullCommandLine({"q", "a\tb", "c"}), "q \"a\tb\" c");
}

TEST(CommandLine, WindowReceivesThePathAndIsPublishedWhileItRuns) {
    using Args = std::vector<std::string>;
    for (const auto& row : {std::pair<Args, std::string>{{"/usr/bin/quillomar", "/home/me/x.pod"}, "/home/me/x.pod"},
                            {{"/opt/q/quillomar"}, ""}}) {
        const Args& args = row.first;
        const std::string& path = row.second;  // a named reference, which lambdas may capture
        bool ran = false;
        const int status = runWindowProgram(args, [&](PackerWindow& window) {
            ran = true;
            EXPECT_EQ(moduleState().packerWindow, &window);
            EXPECT_EQ(window.commandLinePath(), path);
        });
        EXPECT_TRUE(ran);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(moduleState().packerWindow, nullptr);
        EXPECT_EQ(moduleState().programPath, args[0]);
    }
}

TEST(Strings, MessageBufferHoldsTheLongestTextWholeAndCutsAtCharacters) {
    const std::string memory = loadString(101, Language::Neutral);
    EXPECT_EQ(memory.size(), 74u);
    EXPECT_EQ(loadString(101, Language::Neutral, kMessageBufferSize), memory);
    EXPECT_NE(memory.find('\n'), std::string::npos);
    // A 20-character buffer holds 19 characters, accented ones counted once.
    EXPECT_EQ(loadString(102, Language::French, 20), "Répertoire destinat");
}

TEST(Templates, PackerDialogControlsAreUniqueAndFitTheDialogInBothLanguages) {
    const DialogTemplate* dialog = findDialogTemplate(kPackerDialogId);
    ASSERT_NE(dialog, nullptr);
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
    EXPECT_EQ(findDialogTemplate(101), nullptr);
}

TEST(DialogRules, NumbersAreReadWhole) {
    const std::pair<const char*, std::int32_t> good[] = {{"12", 12},
                                                         {"-5", -5},
                                                         {"+5", 5},
                                                         {"  42\t", 42},
                                                         {"0042", 42},
                                                         {"2147483647", INT32_MAX},
                                                         {"-2147483648", INT32_MIN}};
    for (const auto& [text, value] : good) EXPECT_EQ(parseDialogInt(text), value) << text;
    for (const char* bad :
         {"", " ", "-", "abc", "12abc", "1 2", "2147483648", "-2147483649", "99999999999999999999999", "1.5", "0x10"}) {
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
