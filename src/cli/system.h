#pragma once
// What the tool's start and its terminal output need of the system it runs on.

#include <string>
#include <vector>

namespace quillomar::cli {

// Prepares the process before anything is parsed or printed: the user's locale; on Windows,
// standard streams that pass the program's UTF-8 bytes through unchanged and a console that shows
// them as UTF-8.
void prepareProcess();

// The command line as UTF-8: on Windows taken from the wide command line, since argv holds it in
// the ANSI code page, which cannot hold every file name.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Columns of the terminal on standard error; 80 when unknown.
int terminalWidth();

}  // namespace quillomar::cli
