// Start-up, the message buffer, the dialog template's layout and the dialog manager's rules for
// reading texts and numbers.

#include <gtest/gtest.h>

#include <set>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "dialog/dialoghost.h"
#include "packer/packerwindow.h"
#include "platform/resourceids.h"

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
    const std::string memory = loadString(kMsgOutOfMemory, Language::Neutral);
    EXPECT_EQ(memory.size(), 74u);
    EXPECT_EQ(loadString(kMsgOutOfMemory, Language::Neutral, kMessageBufferSize), memory);
    EXPECT_NE(memory.find('\n'), std::string::npos);
    // A 20-character buffer holds 19 characters, accented ones counted once.
    EXPECT_EQ(loadString(kPickerTitle, Language::French, 20), "Répertoire destinat");
}

// The numbers are what the window rules, the Windows resources and kept settings name: a name
// may change, its number may not. Every string has a text in both languages.
TEST(Strings, EveryNamedStringKeepsItsNumberAndHasBothTexts) {
    const std::pair<int, int> strings[] = {{kMsgProgramName, 100},
                                           {kMsgOutOfMemory, 101},
                                           {kPickerTitle, 102},
                                           {kMsgNotAnArchive, 103},
                                           {kMsgNotFolderOrArchive, 104},
                                           {kMsgNoAssociation, 105},
                                           {kNameColumnTitle, 106},
                                           {kTypeColumnTitle, 107},
                                           {kFolderColumnTitle, 108},
                                           {kDateColumnTitle, 109},
                                           {kSizeColumnTitle, 110},
                                           {kMsgDamagedArchive, 111},
                                           {kOpenText, 112},
                                           {kExtractSelectedText, 113},
                                           {kCopyNameText, 114},
                                           {kProgressText, 115},
                                           {kExtractedText, 116},
                                           {kExtractedOneText, 117},
                                           {kMsgEntriesNotExtracted, 118},
                                           {kDeleteText, 125},
                                           {kRenameText, 126},
                                           {kReplaceQuestion, 127},
                                           {kReplaceOneQuestion, 128},
                                           {kDeleteQuestion, 129},
                                           {kDeleteOneQuestion, 130},
                                           {kWritingText, 131},
                                           {kReadOnlyMessage, 132},
                                           {kInvalidNameMessage, 133},
                                           {kNotExtractedListText, 140},
                                           {kWrittenOverListText, 141},
                                           {kMoreNamesText, 142},
                                           {kLargeOutputText, 143},
                                           {kFilterCountText, 160},
                                           {kPreviewText, 161},
                                           {kPictureSizeText, 162},
                                           {kCannotShowText, 163}};
    std::set<int> seen;
    for (const auto& [id, number] : strings) {
        EXPECT_EQ(id, number);
        EXPECT_TRUE(seen.insert(id).second) << "two names for string " << id;
        for (Language language : {Language::French, Language::Neutral}) {
            EXPECT_FALSE(loadString(id, language).empty()) << id;
        }
    }
}

// Each named control is in its dialog's template under its number, and the icon keeps 207 apart
// from the author box that shares the number.
TEST(Templates, EveryNamedControlKeepsItsNumberInItsDialog) {
    struct Row {
        int dialog;
        int id;
        int number;
    };
    const Row rows[] = {{kPackerDialogId, packer::kQuit, 1},          {kPackerDialogId, packer::kGenerate, 201},
                        {kPackerDialogId, packer::kFileCount, 202},   {kPackerDialogId, packer::kTotalKilobytes, 203},
                        {kPackerDialogId, packer::kFolder, 204},      {kPackerDialogId, packer::kSubfolders, 205},
                        {kPackerDialogId, packer::kName, 206},        {kPackerDialogId, packer::kAuthor, 207},
                        {kPackerDialogId, packer::kWriteLog, 208},    {kPackerDialogId, packer::kProgress, 209},
                        {kPackerDialogId, packer::kDescription, 210}, {kPackerDialogId, packer::kCopyright, 211},
                        {kPackerDialogId, packer::kPriority, 212},    {kPackerDialogId, packer::kShowContent, 213},
                        {kPackerDialogId, packer::kVersion, 214},     {kContentDialogId, viewer::kClose, 1},
                        {kContentDialogId, viewer::kExtractAll, 2},   {kContentDialogId, viewer::kList, 217},
                        {kContentDialogId, viewer::kHint, 218},       {kContentDialogId, viewer::kFilter, 219},
                        {kContentDialogId, viewer::kPreview, 220}};
    EXPECT_EQ(kPackerDialogId, 102);
    EXPECT_EQ(kContentDialogId, 103);
    EXPECT_EQ(kProgramIcon, 207);
    for (const Row& row : rows) {
        EXPECT_EQ(row.id, row.number);
        const DialogTemplate* dialog = findDialogTemplate(row.dialog);
        ASSERT_NE(dialog, nullptr);
        EXPECT_NE(dialog->control(row.id), nullptr) << "dialog " << row.dialog << " control " << row.id;
    }
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
