// The switch scanner over full command lines as the entry point builds them.
#include <gtest/gtest.h>

#include "app/switchphase.h"

namespace quillomar {
namespace {

using namespace std::string_literals;
constexpr ServerSwitch kNone = ServerSwitch::None;
constexpr ServerSwitch kReg = ServerSwitch::RegServer;
constexpr ServerSwitch kUnreg = ServerSwitch::UnregServer;

TEST(SwitchScanner, FindsTheFirstSwitchEndingItsWordAfterADashOrSlash) {
    const std::pair<std::string, ServerSwitch> rows[] = {
        // Either switch after '-' or '/', in any letter case.
        {"/usr/bin/quillomar -RegServer", kReg},
        {"/usr/bin/quillomar /regserver", kReg},
        {"/usr/bin/quillomar -rEgSeRvEr", kReg},
        {"/usr/bin/quillomar -UnregServer", kUnreg},
        {"/usr/bin/quillomar /UNREGSERVER", kUnreg},
        {"/usr/bin/quillomar /uNrEgSeRvEr", kUnreg},
        // The name ends at a blank, a tab, a NUL or the end of the line; nothing after a NUL counts.
        {"quillomar /RegServer x.pod", kReg},
        {"quillomar /UnregServer\tx.pod", kUnreg},
        {"quillomar /RegServer\0trailing"s, kReg},
        {"quillomar\0 /RegServer"s, kNone},
        // Any other character after the name: a digit, a quote, a letter, punctuation.
        {"quillomar /RegServer1", kNone},
        {"quillomar -UnregServer2", kNone},
        {"quillomar \"/home/me/RegServer\"", kNone},
        {"quillomar -RegServers", kNone},
        {"quillomar -RegServer.pod", kNone},
        {"quillomar /RegServer/x", kNone},
        {"quillomar -RegServe", kNone},
        {"quillomar -Reg Server", kNone},
        {"quillomar RegServer", kNone},
        {"quillomar \\RegServer", kNone},
        {"quillomar -", kNone},
        {"", kNone},
        // Inside the program's path or a given path, followed by a blank, a tab or the end.
        {"/opt/RegServer", kReg},
        {"/opt/x-unregserver /home/a.pod", kUnreg},
        {"/usr/bin/quillomar \"/home/my -RegServer dir/a.pod\"", kReg},
        {"/usr/bin/quillomar /home/me/RegServer\tx", kReg},
        {"/opt/RegServer/bin/quillomar", kNone},
        {"/usr/bin/quillomar \"/home/me/UnregServer\" more", kNone},
        // The search goes on from the candidate's first character.
        {"quillomar --RegServer", kReg},
        {"quillomar /-UnregServer", kUnreg},
        {"quillomar -Unreg-RegServer", kReg},
        // Both switches: the first in the line wins.
        {"quillomar -RegServer -UnregServer", kReg},
        {"quillomar /UnregServer /RegServer", kUnreg},
        {"quillomar -RegServer1 /UnregServer -RegServer", kUnreg},
        // Letters beyond ASCII never match (a long s upper-cases to S elsewhere).
        {"quillomar /Reg\xc5\xbf"
         "erver",
         kNone},
        {"quillomar /Re\xc3\xa9Server", kNone},
        {"/home/\xc3\xa9t\xc3\xa9/quillomar /RegServer", kReg},
        {"quillomar \xe2\x80\x94/UnregServer", kUnreg},
    };
    for (const auto& [line, expected] : rows) {
        EXPECT_EQ(findServerSwitch(line), expected) << "line: [" << line << "]";
    }
}

}  // namespace
}  // namespace quillomar
