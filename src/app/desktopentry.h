#pragma once
// The desktop entry that starts Quillomar on POD archives, for a program at a given full path:
// the one installed with the program and the one that "RegServer" writes for the user.

#include <string>

namespace quillomar {

// The entry's text: data/quillomar.desktop with Exec and TryExec naming programPath. Empty when
// no entry can name the path (see desktopExecValue).
std::string desktopEntry(const std::string& programPath);

// The Exec value that starts programPath on one file: quoted when it holds a reserved character,
// then escaped as a string. Empty when the path is not UTF-8 or holds a control character
// other than tab and line feed.
std::string desktopExecValue(const std::string& programPath);

}  // namespace quillomar
