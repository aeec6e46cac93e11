#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "archive/podarchive.h"
#include "cli/commands.h"
#include "packer/contentlog.h"
#include "packer/sourcelist.h"
#include "platform/messages.h"

namespace quillomar::cli {

bool runPack(const PackOptions& options, Console& console)
{
    // The folder as the window shows a dropped one: no trailing separator.
    std::string folder = options.folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        showSystemError(folder);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        showSystemError(ENOTDIR, folder);
        return false;
    }

    std::optional<TerminalProgress> bar;
    if (!options.quiet && stderrIsTerminal()) bar.emplace(console, "Scanning folders");

    SourceList list;
    list.resetScan(folder);
    list.scanFolder(folder, bar ? &*bar : nullptr);
    if (bar) bar->finish();

    // The window offers no Generate for a folder without files; neither does the tool.
    if (list.files.empty()) {
        console.error(folder + ": no file to pack");
        return false;
    }

    // Written after the scan, as after a drop, so the log never lists itself.
    if (options.log) writeContentLog(folder + "/" + options.name + ".txt", list);

    const std::string archivePath = options.archive.empty() ? folder + "/" + options.name + ".pod" : options.archive;
    PodArchive archive(archivePath, options.priority, options.author, options.description, options.copyright);
    const int messagesBefore = console.messageCount();
    if (bar) bar->restart("Packing");
    const int written = archive.write(list.files, list.largestSize, list.prefixLength, bar ? &*bar : nullptr);
    if (bar) bar->finish();
    if (written != 1) return false;

    // The window's statistics, once every file is in.
    if (!options.quiet && console.messageCount() == messagesBefore) {
        std::printf("%s: %zu files, %llu kB, %d sub-folders\n", archivePath.c_str(), list.files.size(),
                    static_cast<unsigned long long>(list.totalBytes / 1024), list.subfolderCount);
    }
    return true;
}

}  // namespace quillomar::cli
