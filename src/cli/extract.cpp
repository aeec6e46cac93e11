// extract and cat: entry data out of an archive, to files or to standard output.

#include <algorithm>
#include <cerrno>
#include <optional>

#include "archive/dataoverlap.h"
#include "archive/podarchive.h"
#include "archive/splitpath.h"
#include "archive/storedname.h"
#include "cli/commands.h"
#include "cli/entrymatch.h"
#include "cli/output.h"
#include "platform/messages.h"

namespace quillomar::cli {

namespace {

// cat never holds more of an entry than this in memory.
constexpr std::size_t kCatChunkSize = std::size_t{256} << 10;

// The destination folder, created with its missing ancestors.
bool prepareDestination(const std::string& directory) {
    const Result<FolderCreation> folder = createDirectoryPath(directory);
    if (!folder) report(Failure::system(folder.failure().error, directory));
    return folder.ok();
}

// Each failure as it comes, each entry written over by name, and a warning before a run that
// writes far more than the archive holds.
class ConsoleObserver final : public ExtractionObserver {
public:
    ConsoleObserver(const PodArchive& archive, Console& console) : archive_(archive), console_(console) {}

    void largeOutput(std::uint64_t total, std::uint64_t archiveBytes) override {
        console_.error("warning: the entries share their data: extraction writes " + std::to_string(total) +
                       " bytes, more than " + std::to_string(kLargeOutputFactor) + " times the archive's " +
                       std::to_string(archiveBytes));
    }
    void failed(const Failure& failure) override { report(failure); }
    void overwritten(std::size_t entry) override {
        console_.error(std::string(kWrittenOverText) + storedNameForMessage(archive_.entries()[entry].name));
    }
    void stopped(const Failure& failure, std::size_t notExtracted, std::size_t total) override {
        report(Failure::system(failure.error, failure.path + "\n" + notExtractedText(notExtracted, total)));
    }

private:
    const PodArchive& archive_;
    Console& console_;
};

}  // namespace

bool runExtract(const ExtractOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return false;

    // Every operand is looked up before anything is written; one that chooses nothing is
    // reported once the others are extracted.
    EntrySelection selection;
    if (options.names.empty()) {
        selection.indices.resize(archive.entries().size());
        for (std::size_t i = 0; i < selection.indices.size(); ++i) selection.indices[i] = i;
    } else {
        selection = selectEntries(archive.entries(), options.names);
    }

    bool extracted = true;
    if (!selection.indices.empty() || options.names.empty()) {
        if (!prepareDestination(options.directory)) return false;
        std::optional<TerminalProgress> bar;
        if (!options.quiet && stderrIsTerminal()) bar.emplace(console, "Extracting");
        const ExtractedNames names = options.lowercase ? ExtractedNames::LowerCase : ExtractedNames::AsStored;
        ConsoleObserver observer(archive, console);
        const Result<Extracted> done =
            archive.extractSelected(options.directory, selection.indices, observer, bar ? &*bar : nullptr, names);
        if (!done) report(done.failure());
        if (bar) bar->finish();
        // The later entry wins on disk, but the earlier one's data is gone: the run did not do all it was asked.
        extracted = done && done->complete() && done->overwritten == 0;
    }
    return reportUnmatched(selection.unmatched, console) && extracted;
}

bool runCat(const CatOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return false;

    const EntrySelection selection = selectEntries(archive.entries(), options.names);
    std::vector<std::byte> buffer;
    for (const std::size_t index : selection.indices) {
        const ArchiveEntry& entry = archive.entries()[index];
        const std::uint64_t size = entry.size;
        buffer.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max<std::uint64_t>(size, buffer.size()), kCatChunkSize)));
        for (std::uint64_t from = 0; from < size;) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - from, buffer.size()));
            const ReadResult read = archive.readEntryData(entry, from, std::span(buffer.data(), want));
            const std::int64_t got = read.count;
            if (!read.ok()) {
                report(read.failure);
                return false;
            }
            if (got == 0) {
                // The file ended inside the entry: it shrank since its directory was checked.
                showStringMessage(kMsgDamagedArchive);
                return false;
            }
            const Failure written =
                writeAllTo(kStandardOutputFd, std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(got)),
                           std::string(kStandardOutput));
            if (written.failed()) {
                report(written);
                return false;
            }
            from += static_cast<std::uint64_t>(got);
        }
    }
    return reportUnmatched(selection.unmatched, console);
}

}  // namespace quillomar::cli
