// add, rm, mv and set: an archive changed without repacking it, through the engine's edit.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "cli/commands.h"
#include "cli/entrymatch.h"
#include "packer/archiveedit.h"
#include "platform/codepage.h"
#include "platform/messages.h"

namespace quillomar::cli {

namespace {

// A stored name for a line of output: UTF-8, control characters shown as \xNN so that a name
// cannot move the cursor or end the line.
std::string shownName(std::string_view stored) {
    const std::string utf8 = storedNameToUtf8(stored);
    std::string shown;
    shown.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

void printChanges(const EditPlan& plan) {
    for (const EditChange& change : plan.changes) {
        switch (change.kind) {
            case EditChange::Kind::Added:
                std::printf("added    %s\n", shownName(change.name).c_str());
                break;
            case EditChange::Kind::Replaced:
                std::printf("replaced %s\n", shownName(change.name).c_str());
                break;
            case EditChange::Kind::Removed:
                std::printf("removed  %s\n", shownName(change.name).c_str());
                break;
            case EditChange::Kind::Renamed:
                std::printf("renamed  %s -> %s\n", shownName(change.oldName).c_str(), shownName(change.name).c_str());
                break;
        }
    }
}

// --dry-run's last line: the counts and the result's size.
void printSummary(const EditPlan& plan) {
    std::printf("%zu added, %zu replaced, %zu removed, %zu renamed%s: the archive would be %llu bytes, %zu %s\n",
                plan.added, plan.replaced, plan.removed, plan.renamed, plan.headerChanged ? ", header changed" : "",
                static_cast<unsigned long long>(plan.archiveSize), plan.entryCount,
                plan.entryCount == 1 ? "entry" : "entries");
}

// Each problem in the words of the window's system-error box, then what is wrong, as pack says them.
void reportProblems(const std::vector<Failure>& problems) {
    for (const Failure& problem : problems) {
        if (problem.messageId != 0) {
            report(problem);
            continue;
        }
        showSystemError(problem.error,
                        problem.detail.empty() ? problem.path : problem.path + "\n    " + problem.detail);
    }
}

// A PATH of add as the name it is stored under: its components below DIR, "." and empty ones
// dropped; nullopt for one that leaves DIR (absolute, or with "..").
std::optional<std::string> relativeName(const std::string& path) {
    if (path.starts_with('/')) return std::nullopt;
    std::string name;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string_view part = std::string_view(path).substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") {
            if (!name.empty()) name.push_back('/');
            name += part;
        }
        start = end + 1;
    }
    return name;
}

// Records the verb's changes in edit: false after reporting why they cannot be.
bool describeEdit(const EditOptions& options, const PodArchive& archive, ArchiveEdit& edit, Console& console) {
    switch (options.verb) {
        case EditVerb::Add: {
            std::string directory = options.directory.empty() ? std::string(".") : options.directory;
            while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
            bool named = true;
            for (const std::string& path : options.paths) {
                const std::optional<std::string> relative = relativeName(path);
                if (!relative) {
                    showSystemError(EINVAL, path +
                                                "\n    a PATH is taken below the folder of -C (default: the "
                                                "current one) and may not leave it");
                    named = false;
                    continue;
                }
                const std::string host = relative->empty()  ? directory
                                         : directory == "/" ? "/" + *relative
                                                            : directory + "/" + *relative;
                std::string stored = *relative;
                if (options.asGiven) {
                    stored = options.as;
                    std::replace(stored.begin(), stored.end(), '\\', '/');
                }
                edit.add(host, stored);
            }
            return named;
        }
        case EditVerb::Remove: {
            const EntrySelection chosen = selectEntries(archive.entries(), options.names);
            if (!reportUnmatched(chosen.unmatched, console)) return false;
            for (std::size_t index : chosen.indices) edit.remove(index);
            return true;
        }
        case EditVerb::Move: {
            // One entry by its name, else the folder of that name.
            std::string from = options.from;
            std::replace(from.begin(), from.end(), '/', '\\');
            const std::string key = archiveCodePage().upper(archiveCodePage().fromUtf8(from).value_or(from));
            const std::vector<ArchiveEntry>& entries = archive.entries();
            bool entry = false;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                std::string name = archiveCodePage().upper(entries[i].name);
                std::replace(name.begin(), name.end(), '/', '\\');
                if (name != key) continue;
                edit.rename(i, options.to);
                entry = true;
            }
            if (entry) return true;
            if (!reportUnmatched(selectEntries(entries, {options.from}).unmatched, console)) return false;
            edit.renameFolder(options.from, options.to);
            return true;
        }
        case EditVerb::Set:
            if (options.given.description) edit.setDescription(options.description);
            if (options.given.author) edit.setAuthor(options.author);
            if (options.given.copyright) edit.setCopyright(options.copyright);
            if (options.given.priority) edit.setPriority(options.priority);
            return true;
    }
    return false;
}

}  // namespace

bool runEdit(const EditOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return false;

    ArchiveEdit edit(archive);
    if (!options.output.empty()) edit.setOutput(options.output);
    if (!describeEdit(options, archive, edit, console)) return false;

    // Every problem before anything is written.
    const EditPlan plan = edit.plan();
    reportProblems(plan.problems);
    if (options.verbose || options.dryRun) printChanges(plan);
    if (options.dryRun) {
        printSummary(plan);
        return plan.writable();
    }
    if (!plan.writable()) return false;
    // Nothing to change in place: the archive stays as it is, to the byte and the time.
    if (options.output.empty() && !plan.changesAnything()) return true;

    std::optional<TerminalProgress> bar;
    if (stderrIsTerminal()) bar.emplace(console, "Writing");
    Failure written = edit.write(bar ? &*bar : nullptr);
    if (bar) bar->finish();
    if (written.failed()) {
        reportProblems({written});
        return false;
    }
    return true;
}

}  // namespace quillomar::cli
