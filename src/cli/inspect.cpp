// info, list and verify: what an archive holds, read from its header and directory.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/filetime.h"
#include "platform/messages.h"

namespace quillomar::cli {

namespace {

using Json = nlohmann::ordered_json;

// A stored name as UTF-8. Code-page bytes below 0x80 are ASCII and stand for themselves, so the
// common all-ASCII name goes straight into the output without a conversion.
void appendStoredName(OutputBuffer& out, const std::string& stored)
{
    const bool ascii = std::all_of(stored.begin(), stored.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        out.append(stored);
    } else {
        out.append(storedNameToUtf8(stored));
    }
}

std::string jsonText(const std::string& utf8)
{
    return Json(utf8).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Entry sizes are the format's 32-bit counts; summed in 64 bits they never wrap.
std::uint64_t dataBytes(const PodArchive& archive)
{
    std::uint64_t total = 0;
    for (const ArchiveEntry& entry : archive.entries()) total += static_cast<std::uint32_t>(entry.size);
    return total;
}

// 2003-04-28<separator>12:00:00
void appendTime(OutputBuffer& out, FileTime time, char separator)
{
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

bool finishOutput(OutputBuffer& out)
{
    if (out.flush()) return true;
    reportOutputError(errno);
    return false;
}

}  // namespace

bool runInfo(const InfoOptions& options, Console& console)
{
    PodArchive archive;
    if (!openArchive(archive, options.archive, true, console)) return false;

    const bool pod3 = archive.version() == ArchiveVersion::Pod3;
    const PodHeader& header = archive.header();
    const std::uint64_t totalSize = dataBytes(archive);
    const std::uint64_t fileSize = archive.fileBytes();

    OutputBuffer out(STDOUT_FILENO);
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
        out.append('\n');
        return finishOutput(out);
    }

    std::string& text = out.text();
    text += "Archive:     " + options.archive + "\n";
    text += pod3 ? "Version:     3 (POD3)\n" : "Version:     2 (POD2)\n";
    text += "Description: " + archive.description() + "\n";
    text += "Entries:     " + std::to_string(header.entryCount) + "\n";
    if (pod3) {
        text += "Author:      " + archive.author() + "\n";
        text += "Copyright:   " + archive.copyright() + "\n";
        text += "Priority:    " + std::to_string(header.priority) + "\n";
    }
    text += "Total size:  " + std::to_string(totalSize) + " bytes (" + std::to_string(totalSize / 1024) + " kB)\n";
    text += "File size:   " + std::to_string(fileSize) + " bytes\n";
    return finishOutput(out);
}

bool runList(const ListOptions& options, Console& console)
{
    PodArchive archive;
    if (!openArchive(archive, options.archive, true, console)) return false;

    const std::vector<ArchiveEntry>& entries = archive.entries();
    OutputBuffer out(STDOUT_FILENO);

    if (options.json) {
        out.append(entries.empty() ? "[" : "[\n");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ArchiveEntry& entry = entries[i];
            out.append("  {\"name\": ");
            out.append(jsonText(storedNameToUtf8(entry.name)));
            out.append(", \"size\": ");
            out.appendNumber(static_cast<std::uint32_t>(entry.size));
            out.append(", \"offset\": ");
            out.appendNumber(static_cast<std::uint32_t>(entry.offset));
            out.append(", \"time\": ");
            if (entry.time == kNoEntryTime) {
                out.append("null");
            } else {
                out.append('"');
                appendTime(out, entry.time, 'T');
                out.append("Z\"");
            }
            out.append(i + 1 < entries.size() ? "},\n" : "}\n");
            if (!out.flushIfFull()) {
                reportOutputError(errno);
                return false;
            }
        }
        out.append("]\n");
        return finishOutput(out);
    }

    for (const ArchiveEntry& entry : entries) {
        if (options.longFormat) {
            out.appendNumber(static_cast<std::uint32_t>(entry.size), 10);
            out.append("  ");
            if (entry.time == kNoEntryTime) {
                out.append("-                  ");
            } else {
                appendTime(out, entry.time, ' ');
            }
            out.append("  ");
        }
        appendStoredName(out, entry.name);
        out.append('\n');
        if (!out.flushIfFull()) {
            reportOutputError(errno);
            return false;
        }
    }
    return finishOutput(out);
}

bool runVerify(const VerifyOptions& options, Console& console)
{
    PodArchive archive;
    if (!openArchive(archive, options.archive, true, console)) return false;

    // The structure is sound; a name that extraction would refuse is still a fault of the archive.
    int unsafe = 0;
    for (const ArchiveEntry& entry : archive.entries()) {
        if (!safeRelativePath(entry.name)) {
            showSystemError(EACCES, storedNameForMessage(entry.name));
            ++unsafe;
        }
    }
    if (unsafe > 0) {
        console.error(options.archive + ": " + std::to_string(unsafe) + " entries have names that cannot be extracted");
        return false;
    }

    std::printf("OK: POD%d, %zu entries, %llu bytes of data, %llu bytes in all\n", static_cast<int>(archive.version()),
                archive.entries().size(), static_cast<unsigned long long>(dataBytes(archive)),
                static_cast<unsigned long long>(archive.fileBytes()));
    return true;
}

}  // namespace quillomar::cli
