#include "archive/podarchive.h"
#include "cli/commands.h"
#include "cli/largepagearena.h"
#include "cli/output.h"
#include "platform/messages.h"

namespace quillomar::cli {

bool openArchive(PodArchive& archive, const std::string& path, ArchivePart part, Console& console) {
    bool opened = archive.open(path) == 1;
    if (opened && part == ArchivePart::Directory) {
        // Loaded once and kept while the archive is open: into large pages.
        LargePageArena arena;
        opened = archive.readDirectory() == 1;
    }
    if (opened) return true;
    // The reader's reason; its string-table messages ("not a POD3 or POD2 file", "damaged")
    // name the file first.
    console.setSubject(path);
    report(archive.failure());
    console.setSubject({});
    return false;
}

bool reportUnmatched(const std::vector<std::string>& unmatched, Console& console) {
    for (const std::string& operand : unmatched) console.error("no entry matches: " + operand);
    return unmatched.empty();
}

void reportOutputError(int error) { showSystemError(error, kStandardOutput); }

}  // namespace quillomar::cli
