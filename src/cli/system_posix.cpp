#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>

#include "cli/console.h"
#include "cli/system.h"

namespace quillomar::cli {

void prepareProcess() { std::setlocale(LC_ALL, ""); }

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace quillomar::cli
