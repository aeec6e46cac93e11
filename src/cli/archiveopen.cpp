#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/podarchive.h"
#include "cli/commands.h"
#include "platform/messages.h"

namespace quillomar::cli {

namespace {

// The reader says nothing when the file cannot be opened at all; the window never needed to,
// since its files came from a drop. Find the system's reason again.
void reportUnopenable(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        showSystemError(path);
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        showSystemError(EISDIR, path);
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        showSystemError(path);
        return;
    }
    ::close(fd);
    showSystemError(EIO, path);
}

}  // namespace

bool openArchive(PodArchive& archive, const std::string& path, bool readDirectory, Console& console)
{
    const int before = console.messageCount();
    // The reader's own messages ("not a POD3 or POD2 file", "damaged") name the file.
    console.setSubject(path);
    const bool opened = archive.open(path) == 1 && (!readDirectory || archive.readDirectory() == 1);
    console.setSubject({});
    if (opened) return true;
    if (console.messageCount() == before) reportUnopenable(path);
    if (!archive.problem().empty()) console.error(path + ": " + archive.problem());
    return false;
}

bool reportUnmatched(const std::vector<std::string>& unmatched, Console& console)
{
    for (const std::string& operand : unmatched) console.error("no entry matches: " + operand);
    return unmatched.empty();
}

void reportOutputError(int error) { showSystemError(error, "standard output"); }

}  // namespace quillomar::cli
