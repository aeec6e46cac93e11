// Runs the switch phase as the program does after its window has closed: the full command line
// is this program's path and its arguments joined by blanks (an argument holding a blank or a
// tab in double quotes), and the phase's status is the exit code.
#include <string>

#include "app/switchphase.h"

int main(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (i > 0) line += ' ';
        if (argument.find_first_of(" \t") != std::string::npos) argument = '"' + argument + '"';
        line += argument;
    }
    return quillomar::runSwitchPhase(line);
}
