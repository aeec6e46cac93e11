// The switch scanner over full command lines as the entry point builds them.
#include <gtest/gtest.h>

#include "app/switchphase.h"

namespace quillomar {
namespace {

struct Row {
    const char* line;
    ServerSwitch expected;
};

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(findServerSwitch(row.line), row.expected) << "line: [" << row.line << "]";
    }
}

TEST(SwitchScanner, MatchesEitherSwitchAfterDashOrSlashInAnyLetterCase) {
    expectRows({
        {"/usr/bin/quillomar -RegServer", ServerSwitch::RegServer},
        {"/usr/bin/quillomar /RegServer", ServerSwitch::RegServer},
        {"/usr/bin/quillomar -regserver", ServerSwitch::RegServer},
        {"/usr/bin/quillomar /REGSERVER", ServerSwitch::RegServer},
        {"/usr/bin/quillomar -rEgSeRvEr", ServerSwitch::RegServer},
        {"/usr/bin/quillomar -UnregServer", ServerSwitch::UnregServer},
        {"/usr/bin/quillomar /unregserver", ServerSwitch::UnregServer},
        {"/usr/bin/quillomar -UNREGSERVER", ServerSwitch::UnregServer},
        {"/usr/bin/quillomar /uNrEgSeRvEr", ServerSwitch::UnregServer},
    });
}

TEST(SwitchScanner, CandidateEndsAtBlankTabNulOrEndOfLine) {
    using namespace std::string_literals;
    expectRows({
        {"quillomar /RegServer x.pod", ServerSwitch::RegServer},
        {"quillomar /RegServer\tx.pod", ServerSwitch::RegServer},
        {"quillomar /UnregServer", ServerSwitch::UnregServer},
    });
    EXPECT_EQ(findServerSwitch("quillomar /RegServer\0trailing"s), ServerSwitch::RegServer);
    // Nothing after a NUL is looked at.
    EXPECT_EQ(findServerSwitch("quillomar\0 /RegServer"s), ServerSwitch::None);
}

TEST(SwitchScanner, SwitchFollowedByAnyOtherCharacterDoesNotMatch) {
    expectRows({
        {"quillomar /RegServer1", ServerSwitch::None},
        {"quillomar -UnregServer2", ServerSwitch::None},
        {"quillomar /RegServer,", ServerSwitch::None},
        {"quillomar \"/home/me/RegServer\"", ServerSwitch::None},  // the closing quote follows
        {"quillomar -RegServers", ServerSwitch::None},
        {"quillomar -RegServer.pod", ServerSwitch::None},
        {"quillomar /RegServer/x", ServerSwitch::None},
        {"quillomar -RegServe", ServerSwitch::None},
        {"quillomar -Reg Server", ServerSwitch::None},
        {"quillomar RegServer", ServerSwitch::None},  // no switch character
        {"quillomar \\RegServer", ServerSwitch::None},
        {"quillomar -", ServerSwitch::None},
        {"quillomar /", ServerSwitch::None},
        {"", ServerSwitch::None},
    });
}

TEST(SwitchScanner, SwitchInsideProgramPathOrGivenPathCountsWhenFollowedByBlankTabOrEnd) {
    expectRows({
        {"/opt/RegServer", ServerSwitch::RegServer},                 // the program's own path, at the end
        {"/opt/x-unregserver /home/a.pod", ServerSwitch::UnregServer},  // the program's path, then a blank
        {"/usr/bin/quillomar \"/home/my -RegServer dir/a.pod\"", ServerSwitch::RegServer},
        {"/usr/bin/quillomar /home/me/RegServer", ServerSwitch::RegServer},
        {"/usr/bin/quillomar /home/me/RegServer\tx", ServerSwitch::RegServer},
        {"/opt/RegServer/bin/quillomar", ServerSwitch::None},
        {"/usr/bin/quillomar \"/home/me/UnregServer\" more", ServerSwitch::None},
    });
}

TEST(SwitchScanner, SearchGoesOnFromTheCandidatesFirstCharacter) {
    expectRows({
        {"quillomar --RegServer", ServerSwitch::RegServer},
        {"quillomar /-UnregServer", ServerSwitch::UnregServer},
        {"quillomar //regserver", ServerSwitch::RegServer},
        {"quillomar -x-RegServer", ServerSwitch::RegServer},
        {"quillomar -Unreg-RegServer", ServerSwitch::RegServer},
    });
}

TEST(SwitchScanner, FirstSwitchInTheLineWins) {
    expectRows({
        {"quillomar -RegServer -UnregServer", ServerSwitch::RegServer},
        {"quillomar /UnregServer /RegServer", ServerSwitch::UnregServer},
        {"quillomar -RegServer1 /UnregServer -RegServer", ServerSwitch::UnregServer},
    });
}

TEST(SwitchScanner, LettersBeyondAsciiNeverMatch) {
    expectRows({
        {"quillomar /Reg\xc5\xbf" "erver", ServerSwitch::None},     // long s upper-cases to S elsewhere
        {"quillomar /Unreg\xc5\xbf" "erver", ServerSwitch::None},
        {"quillomar /Re\xc3\xa9Server", ServerSwitch::None},
        {"/home/\xc3\xa9t\xc3\xa9/quillomar /RegServer", ServerSwitch::RegServer},
        {"quillomar \xe2\x80\x94/UnregServer", ServerSwitch::UnregServer},
    });
}

}  // namespace
}  // namespace quillomar
