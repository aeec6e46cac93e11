// Prints the desktop entry that starts the program at the given full path; the install runs it
// so that the installed entry names the installed program whatever the user's PATH holds.
#include <cstdio>
#include <string>

#include "app/desktopentry.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: quillomar_desktop_entry PROGRAM_PATH\n", stderr);
        return 2;
    }
    const std::string entry = quillomar::desktopEntry(argv[1]);
    if (entry.empty()) {
        std::fprintf(stderr, "no desktop entry can name %s: not UTF-8, or a control character in it\n", argv[1]);
        return 1;
    }
    return std::fwrite(entry.data(), 1, entry.size(), stdout) == entry.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
