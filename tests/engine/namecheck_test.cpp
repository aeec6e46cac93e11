// Name patterns, and the checks made before packing and before extracting.

#include <gtest/gtest.h>

#include <cerrno>

#include "archive/extractcheck.h"
#include "archive/namepattern.h"
#include "archive/packcheck.h"
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
    const std::vector<ExtractionProblem> problems = findExtractionProblems(entries);
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
    const std::vector<ExtractionProblem> lowered = findExtractionProblems(entries, ExtractedNames::LowerCase);
    EXPECT_TRUE(std::any_of(lowered.begin(), lowered.end(),
                            [](const ExtractionProblem& p) { return p.kind == Kind::SamePath && p.entry == 10; }));
}

}  // namespace
}  // namespace quillomar
