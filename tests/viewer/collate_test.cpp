// The locale collation that orders the content window's text columns.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/collate.h"

namespace quillomar {
namespace {

std::vector<std::string> sorted(const Collator& collator, std::vector<std::string> words) {
    std::stable_sort(words.begin(), words.end(),
                     [&](const std::string& a, const std::string& b) { return collator.compare(a, b) < 0; });
    return words;
}

TEST(Collator, OrdersByLocaleCaseSensitivelyWithTheEmptyTextFirst) {
    const Collator english("en_US.UTF-8");
    EXPECT_EQ(english.locale(), "en_US");
    EXPECT_LT(english.compare("a", "A"), 0);
    EXPECT_GT(english.compare("A", "a"), 0);
    EXPECT_LT(english.compare("A", "b"), 0);  // bytes would put B..Z before a
    EXPECT_LT(english.compare("e", "é"), 0);
    EXPECT_LT(english.compare("é", "f"), 0);
    EXPECT_EQ(english.compare("same", "same"), 0);
    // An empty text sorts first, even before a text the collation ignores.
    EXPECT_LT(english.compare("", "\x01"), 0);
    EXPECT_GT(english.compare("\x01", ""), 0);
    EXPECT_EQ(english.compare("", ""), 0);
    EXPECT_EQ(sorted(english, {"Zeta", "alpha", "Alpha", "beta", "émile", "Emile", "10", "9", "_x"}),
              (std::vector<std::string>{"_x", "10", "9", "alpha", "Alpha", "beta", "Emile", "émile", "Zeta"}));
}

TEST(Collator, TheLocaleDecides) {
    // Swedish sorts ö after z; English sorts it with o.
    const Collator swedish("sv_SE");
    const Collator english("en_GB");
    EXPECT_GT(swedish.compare("ö", "z"), 0);
    EXPECT_LT(english.compare("ö", "z"), 0);
    // C and POSIX take the root collation, which still orders letters, not bytes.
    const Collator c("C");
    EXPECT_EQ(c.locale(), "root");
    EXPECT_EQ(Collator("POSIX").locale(), "root");
    EXPECT_EQ(Collator("").locale(), "root");
    EXPECT_EQ(Collator("de_DE@euro").locale(), "de_DE");
    EXPECT_LT(c.compare("a", "B"), 0);
}

TEST(Collator, SortKeysOrderAsTheComparison) {
    for (const char* locale : {"en_US", "fr_FR", "sv_SE", "C"}) {
        const Collator collator(locale);
        const std::vector<std::string> words{"",     "a",    "A",     "ä",     "Ä",  "b",    "B",         ".TXT",
                                             ".txt", ".PBM", "ART\\", "art\\", "z",  "ö",    "œuvre",     "OEUVRE",
                                             "10",   "9",    "a b",   "a-b",   "ab", "\x01", "e\xCC\x81", "é"};
        for (const std::string& a : words) {
            for (const std::string& b : words) {
                const int byKeys = collator.sortKey(a).compare(collator.sortKey(b));
                const int direct = collator.compare(a, b);
                EXPECT_EQ(byKeys < 0, direct < 0) << locale << ": " << a << " / " << b;
                EXPECT_EQ(byKeys == 0, direct == 0) << locale << ": " << a << " / " << b;
            }
        }
    }
}

// The word sort: hyphen and apostrophe are passed over until two words are otherwise equal.
struct WordSortRow {
    const char* behaviour;
    const char* locale;
    std::vector<std::string> words;  // in the expected order
};

class WordSort : public ::testing::TestWithParam<WordSortRow> {};

TEST_P(WordSort, OrdersWordsAsTheirLettersAndDigits) {
    const WordSortRow& row = GetParam();
    const Collator collator(row.locale);
    std::vector<std::string> reversed(row.words.rbegin(), row.words.rend());
    EXPECT_EQ(sorted(collator, reversed), row.words);
    EXPECT_EQ(sorted(collator, row.words), row.words);
    std::vector<std::string> byKeys = reversed;
    std::sort(byKeys.begin(), byKeys.end(),
              [&](const std::string& a, const std::string& b) { return collator.sortKey(a) < collator.sortKey(b); });
    EXPECT_EQ(byKeys, row.words);
}

INSTANTIATE_TEST_SUITE_P(
    Collator, WordSort,
    ::testing::Values(
        WordSortRow{"ApostropheKeepsCantWithCant", "en_US.UTF-8", {"CANS", "CANT", "CAN'T", "CANTS"}},
        WordSortRow{"HyphenKeepsF16BetweenF15AndF17", "en_US.UTF-8", {"F15", "F-16", "F17", "FA"}},
        WordSortRow{"HyphenatedWordFollowsItsPlainTwin", "fr_FR.UTF-8", {"COOP", "CO-OP", "COOPER", "CORE"}},
        WordSortRow{"LeadingHyphenCountsLast", "C", {"A", "-A", "AA", "B"}},
        WordSortRow{"SpaceAndUnderscoreStillCount", "en_US.UTF-8", {"A B", "A_B", "AB", "A-B"}},
        WordSortRow{"CaseStillDecidesBeforeTheApostrophe", "en_US.UTF-8", {"can't", "CANt", "CANT", "CAN'T"}},
        WordSortRow{"LocaleWithItsOwnRulesKeepsThem", "sv_SE.UTF-8", {"CO-OP", "ZETA", "ÖL-BAR", "ÖLBAR2"}}),
    [](const ::testing::TestParamInfo<WordSortRow>& row) { return std::string(row.param.behaviour); });

}  // namespace
}  // namespace quillomar
