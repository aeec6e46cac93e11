// info, list and verify: what an archive holds, read from its header and directory.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "archive/dataoverlap.h"
#include "archive/extractcheck.h"
#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "cli/commands.h"
#include "cli/entrymatch.h"
#include "cli/output.h"
#include "platform/fileio.h"
#include "platform/filetime.h"
#include "platform/messages.h"
#include "platform/syserror.h"

namespace quillomar::cli {

namespace {

using Json = nlohmann::ordered_json;

// A stored name as UTF-8. Code-page bytes below 0x80 are ASCII and stand for themselves, so the
// common all-ASCII name goes straight into the output without a conversion. Control characters
// are escaped unless the output is raw (names ended by NUL for xargs -0).
enum class Controls { Escaped, Raw };
void appendStoredName(OutputBuffer& out, const std::string& stored, Controls controls) {
    const bool ascii =
        std::all_of(stored.begin(), stored.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string converted = ascii ? std::string() : storedNameToUtf8(stored);
    const std::string& name = ascii ? stored : converted;
    if (controls == Controls::Raw) {
        out.append(name);
    } else {
        appendTerminalSafe(out.text(), name);
    }
}

std::string jsonText(const std::string& utf8) {
    std::string text = Json(utf8).dump(-1, ' ', false, Json::error_handler_t::replace);
    escapeJsonControls(text);
    return text;
}

// Entry sizes are the format's 32-bit counts; summed in 64 bits they never wrap.
std::uint64_t dataBytes(const PodArchive& archive) {
    std::uint64_t total = 0;
    for (const ArchiveEntry& entry : archive.entries()) total += entry.size;
    return total;
}

// 2003-04-28<separator>12:00:00
void appendTime(OutputBuffer& out, FileTime time, char separator) {
    const CivilTime civil = civilFromFileTime(time);
    out.appendNumber(static_cast<std::uint64_t>(civil.year), 4);
    out.append('-');
    out.appendTwoDigits(civil.month);
    out.append('-');
    out.appendTwoDigits(civil.day);
    out.append(separator);
    out.appendTwoDigits(civil.hour);
    out.append(':');
    out.appendTwoDigits(civil.minute);
    out.append(':');
    out.appendTwoDigits(civil.second);
}

bool finishOutput(OutputBuffer& out) {
    if (out.flush()) return true;
    report(out.failure());
    return false;
}

}  // namespace

bool runInfo(const InfoOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return false;

    const bool pod3 = archive.version() == ArchiveVersion::Pod3;
    const PodHeader& header = archive.header();
    const std::uint64_t totalSize = dataBytes(archive);
    const std::uint64_t fileSize = archive.fileBytes();

    OutputBuffer out(kStandardOutputFd);
    if (options.json) {
        Json info = {
            {"version", static_cast<int>(archive.version())},
            {"description", archive.description()},
            {"entryCount", header.entryCount},
            {"author", pod3 ? Json(archive.author()) : Json(nullptr)},
            {"copyright", pod3 ? Json(archive.copyright()) : Json(nullptr)},
            {"priority", pod3 ? Json(header.priority) : Json(nullptr)},
            {"totalSize", totalSize},
            {"fileSize", fileSize},
        };
        out.append(info.dump(2, ' ', false, Json::error_handler_t::replace));
        escapeJsonControls(out.text());
        out.append('\n');
        return finishOutput(out);
    }

    std::string& text = out.text();
    text += "Archive:     " + terminalSafe(options.archive) + "\n";
    text += pod3 ? "Version:     3 (POD3)\n" : "Version:     2 (POD2)\n";
    text += "Description: " + terminalSafe(archive.description()) + "\n";
    text += "Entries:     " + std::to_string(header.entryCount) + "\n";
    if (pod3) {
        text += "Author:      " + terminalSafe(archive.author()) + "\n";
        text += "Copyright:   " + terminalSafe(archive.copyright()) + "\n";
        text += "Priority:    " + std::to_string(header.priority) + "\n";
    }
    text += "Total size:  " + std::to_string(totalSize) + " bytes (" + std::to_string(totalSize / 1024) + " kB)\n";
    text += "File size:   " + std::to_string(fileSize) + " bytes\n";
    return finishOutput(out);
}

bool runList(const ListOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return false;

    const std::vector<ArchiveEntry>& entries = archive.entries();
    std::vector<std::size_t> chosen;
    std::vector<std::string> unmatched;
    const bool everything = options.names.empty();
    if (!everything) {
        EntrySelection selection = selectEntries(entries, options.names);
        chosen = std::move(selection.indices);
        unmatched = std::move(selection.unmatched);
    }
    const std::size_t count = everything ? entries.size() : chosen.size();
    auto entryAt = [&](std::size_t i) -> const ArchiveEntry& { return entries[everything ? i : chosen[i]]; };
    // A stored name as the user asked to see it: '\' between folders, or '/'.
    auto nameOf = [&](const ArchiveEntry& entry) {
        std::string name = storedNameToUtf8(entry.name);
        if (options.slash) std::replace(name.begin(), name.end(), '\\', '/');
        return name;
    };

    OutputBuffer out(kStandardOutputFd);
    bool written = true;
    if (options.json) {
        out.append(count == 0 ? "[" : "[\n");
        for (std::size_t i = 0; i < count && written; ++i) {
            const ArchiveEntry& entry = entryAt(i);
            out.append("  {\"name\": ");
            out.append(jsonText(nameOf(entry)));
            out.append(", \"size\": ");
            out.appendNumber(entry.size);
            out.append(", \"offset\": ");
            out.appendNumber(entry.offset);
            out.append(", \"time\": ");
            if (entry.time == kNoEntryTime) {
                out.append("null");
            } else {
                out.append('"');
                appendTime(out, entry.time, 'T');
                out.append("Z\"");
            }
            out.append(i + 1 < count ? "},\n" : "}\n");
            written = out.flushIfFull();
        }
        out.append("]\n");
    } else {
        const char end = options.null ? '\0' : '\n';
        const Controls controls = options.null ? Controls::Raw : Controls::Escaped;
        for (std::size_t i = 0; i < count && written; ++i) {
            const ArchiveEntry& entry = entryAt(i);
            if (options.longFormat) {
                out.appendNumber(entry.size, 10);
                out.append("  ");
                if (entry.time == kNoEntryTime) {
                    out.append("-                  ");
                } else {
                    appendTime(out, entry.time, ' ');
                }
                out.append("  ");
            }
            if (options.slash) {
                const std::string name = nameOf(entry);
                if (controls == Controls::Raw) {
                    out.append(name);
                } else {
                    appendTerminalSafe(out.text(), name);
                }
            } else {
                appendStoredName(out, entry.name, controls);
            }
            out.append(end);
            written = out.flushIfFull();
        }
    }
    if (!written || !finishOutput(out)) {
        if (!written) report(out.failure());
        return false;
    }
    return reportUnmatched(unmatched, console);
}

// The verdict on an archive that could not be read, from the reader's failure record.
std::string unreadableVerdict(const PodArchive& archive) {
    const Failure& failure = archive.failure();
    switch (failure.messageId) {
        case kMsgNotAnArchive:
            return "not a POD3 or POD2 file";
        case kMsgDamagedArchive:
            return failure.detail.empty() ? "damaged" : "damaged: " + failure.detail;
        case kMsgOutOfMemory:
            return "out of memory";
        default:
            return "cannot be read: " + systemErrorText(failure.error);
    }
}

bool runVerify(const VerifyOptions& options, Console& console) {
    std::size_t failed = 0;
    for (const std::string& path : options.archives) {
        OutputBuffer out(kStandardOutputFd);
        PodArchive archive;
        if (!openArchive(archive, path, ArchivePart::Directory, console)) {
            out.append(terminalSafe(path + ": " + unreadableVerdict(archive)) + "\n");
            ++failed;
            if (!finishOutput(out)) return false;
            continue;
        }

        // The structure is sound; an entry that extraction would fail on is still a fault.
        const std::vector<ExtractionProblem> problems = findExtractionProblems(archive.entries());
        if (!problems.empty()) {
            for (const ExtractionProblem& problem : problems) {
                out.append(terminalSafe(path + ": " + describeExtractionProblem(problem, archive.entries())) + "\n");
            }
            out.append(terminalSafe(path) + ": " + std::to_string(problems.size()) +
                       (problems.size() == 1 ? " entry" : " entries") + " cannot be extracted here\n");
            ++failed;
        } else {
            out.append(terminalSafe(path) + ": OK, POD" + std::to_string(static_cast<int>(archive.version())) + ", " +
                       std::to_string(archive.entries().size()) + " entries, " + std::to_string(dataBytes(archive)) +
                       " bytes of data, " + std::to_string(archive.fileBytes()) + " bytes in all\n");
        }
        // Shared data is allowed, but the user should know before extracting.
        if (const DataOverlap overlap = findDataOverlap(archive.entries()); overlap.entries > 0) {
            out.append(path + ": warning: " + std::to_string(overlap.entries) +
                       (overlap.entries == 1 ? " entry shares" : " entries share") +
                       " data with another entry (first " +
                       storedNameForMessage(archive.entries()[overlap.first].name) + " with " +
                       storedNameForMessage(archive.entries()[overlap.firstWith].name) + "): extraction writes " +
                       std::to_string(dataBytes(archive)) + " bytes\n");
        }
        if (!finishOutput(out)) return false;
    }
    if (failed > 0) {
        console.error(std::to_string(failed) + " of " + std::to_string(options.archives.size()) +
                      (options.archives.size() == 1 ? " archive" : " archives") + " failed verification");
    }
    return failed == 0;
}

}  // namespace quillomar::cli
