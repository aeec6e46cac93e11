// pack: a folder into a new POD3 archive, with the checks, selections and header presets a
// modder needs around the writer.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "archive/namepattern.h"
#include "archive/podarchive.h"
#include "archive/podformat.h"
#include "archive/podwriter.h"
#include "archive/storedname.h"
#include "archive/windowsname.h"
#include "cli/commands.h"
#include "cli/output.h"
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
    const std::uint64_t size = entry.size;
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
                if (entry.size == file.diskSize && sameBytes(file.name, base, entry)) {
                    ++same;
                    continue;
                }
            }
        }
        changed.push_back(std::move(file));
    }
    list.files = std::move(changed);
    // The counts describe what is packed: the patch's files and the folders that hold them.
    list.totalBytes = 0;
    list.largestSize = 0;
    std::unordered_set<std::string_view> folders;
    for (const SourceFile& file : list.files) {
        list.totalBytes += file.size;
        list.largestSize = std::max(list.largestSize, file.size);
        const std::string_view relative = std::string_view(file.name).substr(std::min(prefix, file.name.size()));
        for (std::size_t slash = relative.find('/'); slash != std::string_view::npos;
             slash = relative.find('/', slash + 1)) {
            folders.insert(relative.substr(0, slash));
        }
    }
    list.subfolderCount = static_cast<std::int32_t>(folders.size());
    return same;
}

// "1 file", "2 files".
std::string counted(std::uint64_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The archive pack is about to replace is never packed, wherever it lies in the folder (as tar
// says, "file is the archive; not dumped"): packed again, every repack would nest the old archive
// in the new one. Only files of its size are looked at twice. True when it was in the list.
bool leaveOutTheArchive(SourceList& list, const std::string& archivePath) {
    const Result<FileStatus> archive = fileStatus(archivePath);
    if (!archive || archive->kind != FileKind::Regular) return false;
    const auto isTheArchive = [&](const SourceFile& file) {
        if (file.diskSize != archive->size) return false;
        const Result<FileStatus> status = fileStatus(file.name);
        return status && status->id == archive->id;
    };
    const auto from = std::remove_if(list.files.begin(), list.files.end(), isTheArchive);
    if (from == list.files.end()) return false;
    list.files.erase(from, list.files.end());
    list.totalBytes = 0;
    list.largestSize = 0;
    for (const SourceFile& file : list.files) {
        list.totalBytes += file.size;
        list.largestSize = std::max(list.largestSize, file.size);
    }
    return true;
}

// Header texts longer than their field are refused rather than cut, each named with the limit:
// true when every one fits. A text the code page cannot hold is left to the writer's checks.
bool headerTextsFit(const std::string& author, const std::string& description, const std::string& copyright,
                    Console& console) {
    constexpr std::size_t kLimit = kHeaderTextSize - 1;  // the field ends with a NUL
    const CodePage& page = archiveCodePage();
    bool fit = true;
    for (const auto& [text, option] : {std::pair{&description, "--description"}, std::pair{&author, "--author"},
                                       std::pair{&copyright, "--copyright"}}) {
        const std::optional<std::string> bytes = page.fromUtf8(*text);
        if (!bytes || bytes->size() <= kLimit) continue;
        console.error(std::string(option) + ": the text is " + std::to_string(bytes->size()) + " bytes in code page " +
                      std::to_string(page.number()) + "; the header field holds at most " + std::to_string(kLimit));
        fit = false;
    }
    return fit;
}

// Opens each file and reports those that cannot be opened: true when every one opens.
bool openEveryFile(const std::vector<SourceFile>& files) {
    bool opened = true;
    for (const SourceFile& file : files) {
        File source = File::openRead(file.name);
        if (source.valid()) {
            source.abandon();
            continue;
        }
        report(source.failure());
        opened = false;
    }
    return opened;
}

// Each problem in the words of the window's system-error box, then what is wrong.
void reportProblems(const std::vector<PackProblem>& problems, Console& console) {
    for (const PackProblem& problem : problems) {
        const std::string note = describePackProblem(problem);
        if (problem.otherPath.empty()) {
            console.systemError(problem.error, {problem.path}, note);
        } else {
            console.systemError(problem.error, {problem.path, problem.otherPath}, note);
        }
    }
}

// Each file the archive is written without, reported as the writer meets it, and counted.
struct ShownAndCounted final : WriteObserver {
    void incomplete(const Failure& failure) override {
        report(failure);
        ++count;
    }
    std::size_t count = 0;
};

// The folder as the window shows a dropped one: no trailing separator. nullopt, reported, when it
// is no folder.
std::optional<std::string> sourceFolder(const std::string& given) {
    std::string folder = given;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const Result<FileStatus> status = fileStatus(folder);
    if (!status) {
        showSystemError(status.failure().error, folder);
        return std::nullopt;
    }
    if (status->kind != FileKind::Folder) {
        showSystemError(ENOTDIR, folder);
        return std::nullopt;
    }
    return folder;
}

struct HeaderTexts {
    std::string author;
    std::string description;
    std::string copyright;
    std::int32_t priority = 0;
};

// The header: the window's presets, or the texts of --like, under what was given explicitly.
// nullopt, reported, when --like cannot be read or a text does not fit its field.
std::optional<HeaderTexts> headerTexts(const PackOptions& options, Console& console) {
    HeaderTexts header{options.author, options.description, options.copyright, options.priority};
    if (!options.like.empty()) {
        PodArchive like;
        if (!openArchive(like, options.like, ArchivePart::Header, console)) return std::nullopt;
        if (!options.textsGiven.description) header.description = like.description();
        if (like.version() == ArchiveVersion::Pod3) {
            if (!options.textsGiven.author) header.author = like.author();
            if (!options.textsGiven.copyright) header.copyright = like.copyright();
            if (!options.textsGiven.priority) header.priority = like.header().priority;
        }
    }
    if (!headerTextsFit(header.author, header.description, header.copyright, console)) return std::nullopt;
    return header;
}

// The files to pack: the scan of the folder without the archive itself and, with --changed-from,
// without the files base holds unchanged. --verbose (and a dry run against a base) lists them;
// against a base, how many differ is said.
SourceList selectFiles(const std::string& folder, const std::string& archivePath, const PackOptions& options,
                       const PodArchive* base, TerminalProgress* bar, Console& console) {
    SourceList list;
    list.resetScan(folder);
    list.scanFolder(folder, bar, excludeFilter(options.excludes));
    if (bar != nullptr) bar->finish();
    if (leaveOutTheArchive(list, archivePath) && options.force && !options.quiet) {
        console.error(archivePath + ": file is the archive; not packed");
    }
    const std::size_t scanned = list.files.size();
    const std::size_t same = base != nullptr ? keepChangedFiles(list, *base) : 0;

    if (options.verbose || (options.dryRun && base != nullptr)) {
        const auto prefix = static_cast<std::size_t>(std::max(list.prefixLength, 0));
        for (const SourceFile& file : list.files) {
            std::printf("%s\n",
                        terminalSafe(std::string_view(file.name).substr(std::min(prefix, file.name.size()))).c_str());
        }
    }
    if (base != nullptr && !options.quiet) {
        std::printf("%zu of %s differ from %s, %zu %s the same\n", list.files.size(), counted(scanned, "file").c_str(),
                    terminalSafe(options.changedFrom).c_str(), same, same == 1 ? "is" : "are");
    }
    return list;
}

// Every reason the archive would be refused, each reported, before anything is written: true
// when there is none. Names a Windows user could not extract are packed all the same, with a
// warning.
bool mayWrite(const PackPlan& plan, const SourceList& list, const std::string& archivePath, const PackOptions& options,
              Console& console) {
    reportProblems(plan.problems, console);
    for (const WindowsNameWarning& warning : findWindowsNameWarnings(list.files, list.prefixLength)) {
        console.error("warning: " + warning.path + ": " + warning.why);
    }
    bool allowed = plan.problems.empty();
    if (fileStatus(archivePath, Links::NotFollowed).ok()) {
        if (!options.force) {
            console.systemError(EEXIST, {archivePath}, "--force replaces it once the new archive is complete");
            allowed = false;
        } else if (const Failure kept = checkReplaceable(archivePath); kept.failed()) {
            // Only a regular file that could be written is replaced.
            report(kept);
            allowed = false;
        }
    }
    return allowed;
}

// --dry-run: every file pack would read is opened, so that the exit status foretells pack's: a
// file that cannot be opened would be left out, and a folder the scan could not list (reported by
// the scan) would be missing. True when neither happens. Then what pack would write.
bool dryRunFindsEveryFile(const SourceList& list, const PackPlan& plan, const PackOptions& options) {
    const bool found = openEveryFile(list.files) && !list.failure.failed();
    if (!options.quiet) {
        // The packed folder counts as one of the folders.
        const int folders = list.subfolderCount + 1;
        std::printf(
            "%s in %s, %llu bytes: the archive would be %llu bytes\n", counted(list.files.size(), "file").c_str(),
            counted(static_cast<std::uint64_t>(folders), "folder").c_str(),
            static_cast<unsigned long long>(list.totalBytes), static_cast<unsigned long long>(plan.archiveSize));
    }
    return found;
}

// Writes the content log, when asked, and the archive, then the window's statistics: true when
// every file is in, the log was written and the scan missed no folder.
bool packFiles(PodWriter& archive, SourceList& list, const std::string& folder, const std::string& archivePath,
               const PackOptions& options, TerminalProgress* bar) {
    // Written after the scan, as after a drop, so the log never lists itself. The archive is
    // still packed when the log fails, as in the window.
    bool logged = true;
    if (options.log) {
        const Failure failed = writeContentLog(folder + "/" + options.name + ".txt", list);
        report(failed);
        logged = !failed.failed();
    }

    if (bar != nullptr) bar->restart("Packing");
    ShownAndCounted incomplete;
    const Failure written = archive.write(list.files, list.prefixLength, bar, incomplete);
    if (written.failed()) report(written);
    if (bar != nullptr) bar->finish();
    if (written.failed()) return false;
    const bool everyFile = incomplete.count == 0;

    // The window's statistics, once every file is in.
    if (!options.quiet && everyFile) {
        std::printf("%s: %s, %llu kB, %s\n", terminalSafe(archivePath).c_str(),
                    counted(list.files.size(), "file").c_str(), static_cast<unsigned long long>(list.totalBytes / 1024),
                    counted(static_cast<std::uint64_t>(list.subfolderCount), "sub-folder").c_str());
    }
    return everyFile && logged && !list.failure.failed();
}

}  // namespace

bool runPack(const PackOptions& options, Console& console) {
    const std::optional<std::string> folder = sourceFolder(options.folder);
    if (!folder) return false;
    const std::optional<HeaderTexts> header = headerTexts(options, console);
    if (!header) return false;
    std::optional<PodArchive> base;
    if (!options.changedFrom.empty()) {
        base.emplace();
        if (!openArchive(*base, options.changedFrom, ArchivePart::Directory, console)) return false;
    }

    std::optional<TerminalProgress> bar;
    if (!options.quiet && stderrIsTerminal()) bar.emplace(console, "Scanning folders");
    TerminalProgress* const progress = bar ? &*bar : nullptr;
    const std::string archivePath = options.archive.empty() ? *folder + "/" + options.name + ".pod" : options.archive;
    SourceList list = selectFiles(*folder, archivePath, options, base ? &*base : nullptr, progress, console);
    // The window offers no Generate for a folder without files; neither does the tool.
    if (list.files.empty()) {
        console.error(*folder + (base ? ": no file differs from " + options.changedFrom : ": no file to pack"));
        return false;
    }

    PodWriter archive(archivePath, header->priority, header->author, header->description, header->copyright);
    archive.setReplaceExisting(options.force);
    const PackPlan plan = archive.checkWrite(list.files, list.prefixLength);
    const bool allowed = mayWrite(plan, list, archivePath, options, console);
    if (options.dryRun) return dryRunFindsEveryFile(list, plan, options) && allowed;
    if (!allowed) return false;
    return packFiles(archive, list, *folder, archivePath, options, progress);
}

}  // namespace quillomar::cli
