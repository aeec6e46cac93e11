#pragma once
// The desktop's side of the OS layer: the user's base folders and the desktop's own tools.

#include <string>
#include <vector>

namespace quillomar {

// An XDG base folder: the variable when it holds an absolute path, else the user's home
// ($HOME, else the user database) followed by fallback; empty when there is no home either.
std::string userBaseFolder(const char* variable, const char* fallback);

// The path of this program's own file, as the system gives it; "" when it cannot tell.
std::string runningProgramPath();

// Runs a program found on PATH with the given arguments (argv[0] names it), its standard
// streams on /dev/null, and waits for it. Its exit status, or -1 when it could not be run or
// did not exit normally.
int runQuietly(const std::vector<std::string>& argv);

}  // namespace quillomar
