// pack: a folder into a new POD3 archive, with the checks, selections and header presets a
// modder needs around the writer.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "archive/namepattern.h"
#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/windowsname.h"
#include "cli/commands.h"
#include "packer/contentlog.h"
#include "packer/sourcelist.h"
#include "platform/codepage.h"
#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/outputfile.h"

namespace quillomar::cli {

namespace {

constexpr std::size_t kCompareChunk = std::size_t{256} << 10;

// --exclude: a pattern with a separator is matched against the path below the folder; one
// without against the name alone, at any depth. A pattern ending in '/' takes folders only.
ScanFilter excludeFilter(const std::vector<std::string>& patterns) {
    if (patterns.empty()) return {};
    std::vector<NamePattern> compiled(patterns.begin(), patterns.end());
    return [compiled = std::move(compiled)](std::string_view relative, bool isFolder) {
        const NameKey key = nameKeyOfUtf8(relative);
        return std::any_of(compiled.begin(), compiled.end(), [&](const NamePattern& pattern) {
            if (pattern.folderOnly() && !isFolder) return false;
            return pattern.hasSeparator() ? pattern.matches(key) : pattern.matchesLastComponent(key);
        });
    };
}

// Same bytes in the host file as in the entry (of equal size); a file that cannot be read
// counts as different, and the writer reports it.
bool sameBytes(const std::string& path, const PodArchive& base, const ArchiveEntry& entry) {
    File file = File::openRead(path);
    if (!file.valid()) return false;
    const std::uint64_t size = static_cast<std::uint32_t>(entry.size);
    std::vector<std::byte> mine(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCompareChunk)));
    std::vector<std::byte> theirs(mine.size());
    for (std::uint64_t from = 0; from < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - from, mine.size()));
        if (file.readAt(from, std::span(mine.data(), want)).count != static_cast<std::int64_t>(want)) return false;
        if (base.readEntryData(entry, from, std::span(theirs.data(), want)).count != static_cast<std::int64_t>(want)) {
            return false;
        }
        if (!std::equal(mine.begin(), mine.begin() + static_cast<std::ptrdiff_t>(want), theirs.begin())) return false;
        from += want;
    }
    // The file may have grown past the entry since the scan.
    std::byte extra{};
    return file.readAt(size, std::span(&extra, 1)).count == 0;
}

// --changed-from: leaves in files only those BASE lacks or holds with other bytes. Returns the
// number of files left out.
std::size_t keepChangedFiles(SourceList& list, const PodArchive& base) {
    const CodePage& page = archiveCodePage();
    std::unordered_map<std::string, std::size_t> baseEntry;
    for (std::size_t i = 0; i < base.entries().size(); ++i) {
        std::string key = page.upper(base.entries()[i].name);
        std::replace(key.begin(), key.end(), '/', '\\');
        baseEntry[key] = i;  // of several with one name, extraction leaves the last
    }
    const auto prefix = static_cast<std::size_t>(std::max(list.prefixLength, 0));
    std::vector<SourceFile> changed;
    std::size_t same = 0;
    for (SourceFile& file : list.files) {
        // A file whose name cannot be stored stays in, for the checks to report.
        const StoredNameResult stored = file.name.size() > prefix
                                            ? storedNameFromHostPath(std::string_view(file.name).substr(prefix))
                                            : StoredNameResult{std::nullopt, EINVAL};
        if (stored.name) {
            const auto found = baseEntry.find(*stored.name);
            if (found != baseEntry.end()) {
                const ArchiveEntry& entry = base.entries()[found->second];
                if (static_cast<std::uint32_t>(entry.size) == file.diskSize && sameBytes(file.name, base, entry)) {
                    ++same;
                    continue;
                }
            }
        }
        changed.push_back(std::move(file));
    }
    list.files = std::move(changed);
    list.totalBytes = 0;
    list.largestSize = 0;
    for (const SourceFile& file : list.files) {
        list.totalBytes += file.size;
        list.largestSize = std::max(list.largestSize, file.size);
    }
    return same;
}

// Each problem in the words of the window's system-error box, then what is wrong.
void reportProblems(const std::vector<PackProblem>& problems) {
    for (const PackProblem& problem : problems) {
        showSystemError(problem.error, packProblemPaths(problem) + "\n    " + describePackProblem(problem));
    }
}

}  // namespace

bool runPack(const PackOptions& options, Console& console) {
    // The folder as the window shows a dropped one: no trailing separator.
    std::string folder = options.folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

    const std::optional<FileStatus> status = fileStatus(folder);
    if (!status) {
        showSystemError(errno, folder);
        return false;
    }
    if (status->kind != FileKind::Folder) {
        showSystemError(ENOTDIR, folder);
        return false;
    }

    // The header: the window's presets, or the texts of --like, under what was given explicitly.
    std::string author = options.author;
    std::string description = options.description;
    std::string copyright = options.copyright;
    std::int32_t priority = options.priority;
    if (!options.like.empty()) {
        PodArchive like;
        if (!openArchive(like, options.like, false, console)) return false;
        if (!options.textsGiven.description) description = like.description();
        if (like.version() == ArchiveVersion::Pod3) {
            if (!options.textsGiven.author) author = like.author();
            if (!options.textsGiven.copyright) copyright = like.copyright();
            if (!options.textsGiven.priority) priority = like.header().priority;
        }
    }
    std::optional<PodArchive> base;
    if (!options.changedFrom.empty()) {
        base.emplace();
        if (!openArchive(*base, options.changedFrom, true, console)) return false;
    }

    std::optional<TerminalProgress> bar;
    if (!options.quiet && stderrIsTerminal()) bar.emplace(console, "Scanning folders");

    SourceList list;
    list.resetScan(folder);
    list.scanFolder(folder, bar ? &*bar : nullptr, excludeFilter(options.excludes));
    if (bar) bar->finish();
    const std::size_t scanned = list.files.size();
    const std::size_t same = base ? keepChangedFiles(list, *base) : 0;

    const std::string archivePath = options.archive.empty() ? folder + "/" + options.name + ".pod" : options.archive;
    if (options.verbose || (options.dryRun && base)) {
        const auto prefix = static_cast<std::size_t>(std::max(list.prefixLength, 0));
        for (const SourceFile& file : list.files)
            std::printf("%s\n", file.name.c_str() + std::min(prefix, file.name.size()));
    }
    if (base && !options.quiet) {
        std::printf("%zu of %zu files differ from %s, %zu %s the same\n", list.files.size(), scanned,
                    options.changedFrom.c_str(), same, same == 1 ? "is" : "are");
    }

    // The window offers no Generate for a folder without files; neither does the tool.
    if (list.files.empty()) {
        console.error(folder + (base ? ": no file differs from " + options.changedFrom : ": no file to pack"));
        return false;
    }

    // Every reason the archive would be refused, each reported, before anything is written.
    PodArchive archive(archivePath, priority, author, description, copyright);
    archive.setReplaceExisting(options.force);
    PackPlan plan = archive.checkWrite(list.files, list.prefixLength);
    reportProblems(plan.problems);
    // Names a Windows user could not extract are packed all the same, with a warning.
    for (const WindowsNameWarning& warning : findWindowsNameWarnings(list.files, list.prefixLength)) {
        console.error("warning: " + warning.path + ": " + warning.why);
    }
    bool refused = !plan.problems.empty();
    if (fileStatus(archivePath, false)) {
        if (!options.force) {
            showSystemError(EEXIST, archivePath + "\n    --force replaces it once the new archive is complete");
            refused = true;
        } else if (const Failure kept = checkReplaceable(archivePath); kept.failed()) {
            // Only a regular file that could be written is replaced.
            report(kept);
            refused = true;
        }
    }

    if (options.dryRun) {
        if (!options.quiet) {
            // The packed folder counts as one of the folders.
            const int folders = list.subfolderCount + 1;
            std::printf("%zu file%s in %d folder%s, %llu bytes: the archive would be %llu bytes\n", list.files.size(),
                        list.files.size() == 1 ? "" : "s", folders, folders == 1 ? "" : "s",
                        static_cast<unsigned long long>(list.totalBytes),
                        static_cast<unsigned long long>(plan.archiveSize));
        }
        return !refused;
    }
    if (refused) return false;

    // Written after the scan, as after a drop, so the log never lists itself. The archive is
    // still packed when the log fails, as in the window.
    const bool logged = !options.log || !writeContentLog(folder + "/" + options.name + ".txt", list).failed();

    if (bar) bar->restart("Packing");
    const int written = archive.write(list.files, list.largestSize, list.prefixLength, bar ? &*bar : nullptr);
    if (bar) bar->finish();
    if (written != 1) return false;
    const bool everyFile = !archive.failure().failed();

    // The window's statistics, once every file is in.
    if (!options.quiet && everyFile) {
        std::printf("%s: %zu files, %llu kB, %d sub-folders\n", archivePath.c_str(), list.files.size(),
                    static_cast<unsigned long long>(list.totalBytes / 1024), list.subfolderCount);
    }
    return everyFile && logged && !list.failure.failed();
}

}  // namespace quillomar::cli
