// Name patterns, and the checks made before packing and before extracting.

#include <gtest/gtest.h>

#include <cerrno>

#include "archive/dataoverlap.h"
#include "archive/extractcheck.h"
#include "archive/namepattern.h"
#include "archive/packcheck.h"
#include "archive/windowsname.h"
#include "platform/codepage.h"

namespace quillomar {
namespace {

struct PatternRow {
    const char* pattern;
    const char* stored;  // archive code-page bytes (1252)
    bool whole;          // matches the whole name
    bool entryOrFolder;  // matches the name or one of its folders
};

class NamePatternTest : public ::testing::TestWithParam<PatternRow> {};

TEST_P(NamePatternTest, MatchesStoredNamesIgnoringCaseAndSeparator) {
    const PatternRow& row = GetParam();
    ASSERT_TRUE(setArchiveCodePage(1252));
    const NamePattern pattern(row.pattern);
    const NameKey key = nameKeyOfStored(row.stored);
    EXPECT_EQ(pattern.matches(key), row.whole) << row.pattern << " against " << row.stored;
    EXPECT_EQ(pattern.matchesEntryOrFolder(key), row.entryOrFolder) << row.pattern << " against " << row.stored;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NamePatternTest,
    ::testing::Values(
        // Plain names: any case, either separator, accents upper-cased in the code page.
        PatternRow{"readme.txt", "README.TXT", true, true}, PatternRow{"art/f1.pbm", "ART\\F1.PBM", true, true},
        PatternRow{"ART\\F1.PBM", "art/f1.pbm", true, true},
        PatternRow{"café/été.txt", "CAF\xC9\\\xC9T\xC9.TXT", true, true},
        PatternRow{"ŒUVRE",
                   "\x9C"
                   "uvre",
                   true, true},
        PatternRow{"ÿ", "\x9F", true, true}, PatternRow{"art", "ART\\F1.PBM", false, true},
        PatternRow{"art/", "ART\\F1.PBM", false, true}, PatternRow{"ar", "ART\\F1.PBM", false, false},
        PatternRow{"art/f1.pbm/", "ART\\F1.PBM", false, false}, PatternRow{"//art//f1.pbm", "ART\\F1.PBM", true, true},
        // '*' and '?' stay within one component; '?' is one character, an accented one too.
        PatternRow{"*.txt", "A.TXT", true, true}, PatternRow{"*.txt", "SUB\\A.TXT", false, false},
        PatternRow{"*", "SUB\\A.TXT", false, true}, PatternRow{"s*b/*", "SUB\\A.TXT", true, true},
        PatternRow{"?t?.txt", "\xC9T\xC9.TXT", true, true}, PatternRow{"?.txt", "AB.TXT", false, false},
        PatternRow{"*a*a*a*b", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAC", false, false},
        // Sets, ranges, complements, a literal ']' first, an unclosed '['.
        PatternRow{"[abc].txt", "B.TXT", true, true}, PatternRow{"[a-c].txt", "D.TXT", false, false},
        PatternRow{"[!a-c].txt", "D.TXT", true, true}, PatternRow{"[^d].txt", "D.TXT", false, false},
        PatternRow{"[]x].txt", "].TXT", true, true}, PatternRow{"[é]*", "\xC9T\xC9", true, true},
        PatternRow{"a[1", "A[1", true, true}, PatternRow{"[*]", "*", true, true},
        PatternRow{"[/]", "A\\B", false, false},
        // '**' is any number of whole components, none included.
        PatternRow{"**/*.txt", "A.TXT", true, true}, PatternRow{"**/*.txt", "X\\Y\\Z\\A.TXT", true, true},
        PatternRow{"sub/**", "SUB\\X\\Y", true, true}, PatternRow{"**/deep", "A\\B\\DEEP\\C.TXT", false, true},
        PatternRow{"a/**/b", "A\\B", true, true}, PatternRow{"a/**/b", "A\\X\\Y\\B", true, true},
        PatternRow{"a/**/b", "A\\X\\Y\\C", false, false},
        PatternRow{"**/**/**/**/z", "A\\B\\C\\D\\E\\F\\G\\H\\Y", false, false},
        PatternRow{"a**", "ABC\\D", false, true}));

TEST(NamePattern, LiteralComparisonTakesWildcardsAsCharacters) {
    const NamePattern pattern("menu[1].txt");
    EXPECT_TRUE(pattern.hasWildcards());
    EXPECT_TRUE(pattern.equalsEntryOrFolder(nameKeyOfStored("MENU[1].TXT")));
    EXPECT_FALSE(pattern.equalsEntryOrFolder(nameKeyOfStored("MENU1.TXT")));
    EXPECT_TRUE(pattern.matches(nameKeyOfStored("MENU1.TXT")));
}

TEST(NamePattern, HostNamesOutsideUtf8MatchOnlyThemselves) {
    const NameKey latin1 = nameKeyOfUtf8("caf\xE9");
    EXPECT_TRUE(NamePattern("caf\xE9").matches(latin1));
    EXPECT_TRUE(NamePattern("caf?").matches(latin1));
    EXPECT_FALSE(NamePattern("café").matches(latin1));
    EXPECT_FALSE(NamePattern("caf\xE8").matches(latin1));
}

TEST(NamePattern, CharactersOutsideTheCodePageStillMatchInAnyCase) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    EXPECT_TRUE(NamePattern("ДОМ/*.txt").matches(nameKeyOfUtf8("дом/a.txt")));
    EXPECT_TRUE(NamePattern("[!д]*").matchesLastComponent(nameKeyOfUtf8("x/ЖУК")));
}

TEST(CodePage, LowerCasesWithinTheCodePage) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    EXPECT_EQ(archiveCodePage().toUtf8(archiveCodePage().lower("CAF\xC9\\\x8C"
                                                               "UVRE\\\x9F.TXT")),
              "café\\œuvre\\ÿ.txt");
    ASSERT_TRUE(setArchiveCodePage(1251));
    EXPECT_EQ(archiveCodePage().toUtf8(archiveCodePage().lower("\xC9")), "й");
    ASSERT_TRUE(setArchiveCodePage(1252));
}

// Files as the scan lists them below /src.
std::vector<SourceFile> sources(std::initializer_list<std::pair<std::string, std::uint64_t>> files) {
    std::vector<SourceFile> list;
    for (const auto& [name, size] : files) {
        SourceFile file;
        file.name = "/src/" + name;
        file.diskSize = size;
        file.size = static_cast<std::uint32_t>(size);
        list.push_back(file);
    }
    return list;
}

TEST(PlanPack, CollectsEveryProblemInFileOrder) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    using Kind = PackProblem::Kind;
    const std::string tooLong = std::string(130, 'd') + "/" + std::string(130, 'f');
    const std::vector<SourceFile> files = sources({{"a", 1},
                                                   {"A/b", 1},
                                                   {"x.txt", 1},
                                                   {"X.TXT", 1},
                                                   {"Œuvre/é", 1},
                                                   {"œuvre/É", 1},  // one stored name once upper-cased in the code page
                                                   {"日本", 1},
                                                   {"back\\slash", 1},
                                                   {"C:x", 1},
                                                   {tooLong, 1},
                                                   {"huge", 0x100000000ULL},
                                                   {"fine", 1}});
    const PackPlan plan = planPack(files, 5, "/out.pod");
    struct Expected {
        Kind kind;
        int error;
        std::string path, other;
        std::uint64_t number;
    };
    const std::vector<Expected> expected = {
        {Kind::FileAndFolder, EEXIST, "/src/a", "/src/A", 0},
        {Kind::SameName, EEXIST, "/src/X.TXT", "/src/x.txt", 0},
        {Kind::SameName, EEXIST, "/src/œuvre/É", "/src/Œuvre/é", 0},
        {Kind::NotInCodePage, EILSEQ, "/src/日本", "", 0},
        {Kind::BadName, EINVAL, "/src/back\\slash", "", 0},
        {Kind::BadName, EINVAL, "/src/C:x", "", 0},
        {Kind::NameTooLong, ENAMETOOLONG, "/src/" + tooLong, "", 261},
        {Kind::FileTooLarge, EFBIG, "/src/huge", "", 0x100000000ULL},
        {Kind::ArchiveTooLarge, EFBIG, "/out.pod", "", plan.archiveSize},
    };
    ASSERT_EQ(plan.problems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PackProblem& got = plan.problems[i];
        EXPECT_EQ(got.kind, expected[i].kind) << i;
        EXPECT_EQ(got.error, expected[i].error) << i;
        EXPECT_EQ(got.path, expected[i].path) << i;
        EXPECT_EQ(got.otherPath, expected[i].other) << i;
        EXPECT_EQ(got.number, expected[i].number) << i;
    }
    EXPECT_EQ(plan.storedNames.back(), "FINE");
    EXPECT_EQ(plan.storedNames[0], "");
    EXPECT_EQ(packProblemPaths(plan.problems[0]), "/src/a\n==> /src/A");
}

TEST(PlanPack, ForetellsTheArchiveSizeOfACleanFolder) {
    const PackPlan plan = planPack(sources({{"a.txt", 5}, {"sub/b.bin", 1000}}), 5, "/out.pod");
    EXPECT_TRUE(plan.problems.empty());
    EXPECT_EQ(plan.archiveSize, 288u + 1005u + 2u * 20u + sizeof("A.TXT") + sizeof("SUB\\B.BIN"));
    // Two folders of one name in other cases merge; they are no clash.
    EXPECT_TRUE(planPack(sources({{"Sub/a", 1}, {"SUB/b", 1}}), 5, "/out.pod").problems.empty());
}

TEST(ExtractionProblems, NamesEveryEntryThatCannotBeExtractedHere) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    using Kind = ExtractionProblem::Kind;
    std::vector<ArchiveEntry> entries;
    for (const std::string& name :
         {std::string("A"), std::string("A\\B"), std::string("X\\Y"), std::string("X/Y"), std::string(".\\X\\Y"),
          "L\\" + std::string(128, '\xC9'), std::string("..\\UP"), std::string("\\ROOT"), std::string("C:\\D"),
          std::string("K"), std::string("k"), "OK\\" + std::string(127, '\xC9')}) {
        ArchiveEntry entry;
        entry.name = name;
        entries.push_back(entry);
    }
    const std::vector<ExtractionProblem> problems = findExtractionProblems(entries, ExtractedNames::AsStored,
                                                                           NameRules::Posix);
    const std::vector<std::pair<Kind, std::size_t>> expected = {
        {Kind::FileAndFolder, 0}, {Kind::SamePath, 3},   {Kind::SamePath, 4},   {Kind::ComponentTooLong, 5},
        {Kind::UnsafeName, 6},    {Kind::UnsafeName, 7}, {Kind::UnsafeName, 8},
    };
    ASSERT_EQ(problems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(problems[i].kind, expected[i].first) << i;
        EXPECT_EQ(problems[i].entry, expected[i].second) << i;
    }
    EXPECT_EQ(problems[0].other, 1u);
    EXPECT_EQ(problems[1].other, 2u);
    EXPECT_EQ(describeExtractionProblem(problems[0], entries), "A: is a file and also the folder of A/B");

    // Lower-casing makes K and k one path.
    const std::vector<ExtractionProblem> lowered =
        findExtractionProblems(entries, ExtractedNames::LowerCase, NameRules::Posix);
    EXPECT_TRUE(std::any_of(lowered.begin(), lowered.end(),
                            [](const ExtractionProblem& p) { return p.kind == Kind::SamePath && p.entry == 10; }));
}

}  // namespace
}  // namespace quillomar

namespace quillomar {
namespace {

struct WindowsNameRow {
    const char* stored;
    std::optional<WindowsNameFault> fault;
    const char* component;  // the name at fault
};

class WindowsNames : public ::testing::TestWithParam<WindowsNameRow> {};

TEST_P(WindowsNames, FindsTheFirstNameWindowsCannotKeep) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    const WindowsNameRow& row = GetParam();
    const std::optional<WindowsNameProblem> problem = findWindowsNameProblem(row.stored);
    ASSERT_EQ(problem.has_value(), row.fault.has_value()) << row.stored;
    if (!problem) return;
    EXPECT_EQ(problem->fault, *row.fault) << row.stored;
    EXPECT_EQ(problem->component, row.component) << row.stored;
}

using Fault = WindowsNameFault;
INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsNames,
    ::testing::Values(
        // Kept: dots inside, "." and ".." (no names; traversal is refused elsewhere), names near devices.
        WindowsNameRow{"A.B.TXT", std::nullopt, ""}, WindowsNameRow{"A\\.\\B", std::nullopt, ""},
        WindowsNameRow{"..\\X", std::nullopt, ""}, WindowsNameRow{"CONSOLE.TXT", std::nullopt, ""},
        WindowsNameRow{"COM0", std::nullopt, ""}, WindowsNameRow{"C:\\X", std::nullopt, ""},
        WindowsNameRow{"CAF\xC9.", Fault::EndsInDotOrBlank, "CAFÉ."},
        // Trailing dot or blank, in the file or a folder.
        WindowsNameRow{"DOT.", Fault::EndsInDotOrBlank, "DOT."},
        WindowsNameRow{"SPACE ", Fault::EndsInDotOrBlank, "SPACE "},
        WindowsNameRow{"F \\G.TXT", Fault::EndsInDotOrBlank, "F "},
        WindowsNameRow{"H./I.TXT", Fault::EndsInDotOrBlank, "H."},
        // Characters Windows forbids, anywhere.
        WindowsNameRow{"Q\"<>|.TXT", Fault::ForbiddenCharacter, "Q\"<>|.TXT"},
        WindowsNameRow{"STAR*.TXT", Fault::ForbiddenCharacter, "STAR*.TXT"},
        WindowsNameRow{"D\\QM?.TXT", Fault::ForbiddenCharacter, "QM?.TXT"},
        WindowsNameRow{"TAB\t", Fault::ForbiddenCharacter, "TAB\t"},
        // Devices in any case and with any extension, and streams.
        WindowsNameRow{"nul.txt", Fault::Device, "nul.txt"}, WindowsNameRow{"A\\COM9", Fault::Device, "COM9"},
        WindowsNameRow{"LPT1 .X", Fault::Device, "LPT1 .X"}, WindowsNameRow{"AB:C", Fault::Stream, "AB:C"},
        WindowsNameRow{"D\\A:B", Fault::Stream, "A:B"}));

TEST(WindowsNames, EachFaultHasItsOwnReason) {
    const std::string dot = describeWindowsNameProblem({Fault::EndsInDotOrBlank, "F "});
    const std::string character = describeWindowsNameProblem({Fault::ForbiddenCharacter, "Q?"});
    const std::string device = describeWindowsNameProblem({Fault::Device, "NUL"});
    const std::string stream = describeWindowsNameProblem({Fault::Stream, "A:B"});
    EXPECT_EQ(dot, "\"F \" ends in a dot or a blank, which Windows drops");
    EXPECT_NE(character, device);
    EXPECT_NE(device, stream);
    for (const std::string& reason : {dot, character, device, stream}) EXPECT_EQ(reason.find("unsafe"), std::string::npos);
}

TEST(ExtractionProblems, UnderWindowsRulesNamesItCannotKeepAndCaseClashes) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    using Kind = ExtractionProblem::Kind;
    std::vector<ArchiveEntry> entries;
    for (const char* name : {"AAA.TXT", "aaa.txt", "DOT.", "F \\G.TXT", "NUL", "..\\UP", "SUB\\X", "sub"}) {
        ArchiveEntry entry;
        entry.name = name;
        entries.push_back(entry);
    }
    // A POSIX system tells case apart and keeps every name but the unsafe one (where this is
    // Windows, the device name is unsafe all the same).
    const std::vector<ExtractionProblem> posix = findExtractionProblems(entries, ExtractedNames::AsStored,
                                                                         NameRules::Posix);
    ASSERT_EQ(posix.size(), kHostHasWindowsNames ? 2u : 1u);
    EXPECT_EQ(posix.back().kind, Kind::UnsafeName);

    const std::vector<ExtractionProblem> windows =
        findExtractionProblems(entries, ExtractedNames::AsStored, NameRules::Windows);
    const std::vector<std::pair<Kind, std::size_t>> expected = {
        {Kind::SamePath, 1}, {Kind::WindowsName, 2}, {Kind::WindowsName, 3},
        {Kind::WindowsName, 4}, {Kind::UnsafeName, 5}, {Kind::FileAndFolder, 7},
    };
    ASSERT_EQ(windows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(windows[i].kind, expected[i].first) << i;
        EXPECT_EQ(windows[i].entry, expected[i].second) << i;
    }
    EXPECT_EQ(describeExtractionProblem(windows[0], entries), "aaa.txt: lands on the same path as AAA.TXT (aaa.txt)");
    EXPECT_EQ(describeExtractionProblem(windows[2], entries),
              "F /G.TXT: \"F \" ends in a dot or a blank, which Windows drops, refused by extraction");
    EXPECT_EQ(windows[3].windowsName->fault, WindowsNameFault::Device);
}

TEST(NextOnSamePath, ChainsEveryEntryToTheNextLandingOnItsPath) {
    ASSERT_TRUE(setArchiveCodePage(1252));
    std::vector<ArchiveEntry> entries;
    for (const char* name : {"ok.txt", "A\\B.TXT", "OK.TXT", "A\\.\\B.TXT", "Ok.Txt", "..\\X", "..\\X"}) {
        ArchiveEntry entry;
        entry.name = name;
        entries.push_back(entry);
    }
    const std::vector<std::size_t> all{0, 1, 2, 3, 4, 5, 6};
    const std::size_t none = kNoLater;
    EXPECT_EQ(nextOnSamePath(entries, all, ExtractedNames::AsStored, NameRules::Posix),
              (std::vector<std::size_t>{none, 3, none, none, none, none, none}));
    EXPECT_EQ(nextOnSamePath(entries, all, ExtractedNames::LowerCase, NameRules::Posix),
              (std::vector<std::size_t>{2, 3, 4, none, none, none, none}));
    EXPECT_EQ(nextOnSamePath(entries, all, ExtractedNames::AsStored, NameRules::Windows),
              (std::vector<std::size_t>{2, 3, 4, none, none, none, none}));
    // Positions are those of the selection.
    EXPECT_EQ(nextOnSamePath(entries, {4, 0}, ExtractedNames::LowerCase, NameRules::Posix),
              (std::vector<std::size_t>{1, none}));
}

struct OverlapRow {
    const char* what;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;  // offset, size
    std::size_t overlapping;
    std::size_t first;
    std::size_t firstWith;
};

class DataOverlapTest : public ::testing::TestWithParam<OverlapRow> {};

TEST_P(DataOverlapTest, CountsEntriesSharingBytes) {
    const OverlapRow& row = GetParam();
    std::vector<ArchiveEntry> entries;
    for (const auto& [offset, size] : row.ranges) {
        ArchiveEntry entry;
        entry.offset = offset;
        entry.size = size;
        entries.push_back(entry);
    }
    const DataOverlap overlap = findDataOverlap(entries);
    EXPECT_EQ(overlap.entries, row.overlapping) << row.what;
    if (row.overlapping == 0) return;
    EXPECT_EQ(overlap.first, row.first) << row.what;
    EXPECT_EQ(overlap.firstWith, row.firstWith) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DataOverlapTest,
    ::testing::Values(OverlapRow{"adjacent ranges", {{288, 10}, {298, 5}, {303, 1}}, 0, 0, 0},
                      OverlapRow{"empty entries at one offset", {{288, 0}, {288, 0}, {288, 4}}, 0, 0, 0},
                      OverlapRow{"one range shared by all", {{288, 100}, {288, 100}, {288, 100}}, 2, 1, 0},
                      OverlapRow{"a range inside a longer one, listed first", {{300, 5}, {288, 100}}, 1, 0, 1},
                      OverlapRow{"one byte in common", {{288, 10}, {297, 10}, {400, 1}}, 1, 1, 0},
                      OverlapRow{"offsets past 2 GiB", {{0x80000000u, 16}, {0x80000008u, 16}}, 1, 1, 0}));

TEST(DataOverlap, LargeOutputIsMoreThanAHundredTimesTheArchive) {
    EXPECT_FALSE(isLargeOutput(100 * 1000, 1000));
    EXPECT_TRUE(isLargeOutput(100 * 1000 + 1, 1000));
    EXPECT_TRUE(isLargeOutput(5000ull * 1048576, 1200000));
}

}  // namespace
}  // namespace quillomar
