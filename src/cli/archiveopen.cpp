#include "archive/podarchive.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/messages.h"

namespace quillomar::cli {

bool openArchive(PodArchive& archive, const std::string& path, bool readDirectory, Console& console) {
    // The reader's own messages ("not a POD3 or POD2 file", "damaged") name the file.
    console.setSubject(path);
    const bool opened = archive.open(path) == 1 && (!readDirectory || archive.readDirectory() == 1);
    console.setSubject({});
    if (opened) return true;
    // The window passes over a file it cannot open in silence; here the reader's reason is shown.
    const Failure& failure = archive.failure();
    if (!failure.reported) report(failure);
    return false;
}

bool reportUnmatched(const std::vector<std::string>& unmatched, Console& console) {
    for (const std::string& operand : unmatched) console.error("no entry matches: " + operand);
    return unmatched.empty();
}

void reportOutputError(int error) { showSystemError(error, kStandardOutput); }

}  // namespace quillomar::cli
