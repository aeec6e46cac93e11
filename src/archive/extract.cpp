// Extraction below a root folder. The root is taken as the user gave it; below it nothing is
// trusted: a stored name with "..", a leading separator or a drive designator is refused, every
// folder is entered with O_NOFOLLOW relative to its parent, and a file is never written through
// a symbolic link or a hard link that is already there: each file is written under a temporary
// name and renamed over its target once whole.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/outputfile.h"

namespace quillomar {

namespace {

// The folder of the previous entry stays open: entries come grouped by folder.
class FolderCache {
public:
    explicit FolderCache(int rootFd) : rootFd_(rootFd) {}
    ~FolderCache() { reset(); }
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    // The descriptor of folder (relative, '/' separators, "" for the root), created as needed;
    // -1 with errno set when a component cannot be created or is no real folder.
    int open(const std::string& folder) {
        if (folder.empty()) {
            if (!rootSwept_) sweepLeftovers(rootFd_);
            rootSwept_ = true;
            return rootFd_;
        }
        if (fd_ >= 0 && folder == folder_) return fd_;
        reset();
        int current = rootFd_;
        bool existed = false;
        std::size_t start = 0;
        while (start < folder.size()) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos) end = folder.size();
            std::string component = folder.substr(start, end - start);
            existed = ::mkdirat(current, component.c_str(), 0777) != 0;
            if (existed && errno != EEXIST) {
                closeIfOwned(current);
                return -1;
            }
            int next = ::openat(current, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            int error = errno;
            closeIfOwned(current);
            if (next < 0) {
                errno = error;
                return -1;
            }
            current = next;
            start = end + 1;
        }
        fd_ = current;
        folder_ = folder;
        // A folder that was there before may hold what a killed run left; a new one holds nothing.
        if (existed && swept_.insert(folder).second) sweepLeftovers(fd_);
        return fd_;
    }

private:
    void closeIfOwned(int fd) const {
        if (fd != rootFd_) ::close(fd);
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        folder_.clear();
    }

    int rootFd_;
    int fd_ = -1;
    std::string folder_;
    bool rootSwept_ = false;
    std::unordered_set<std::string> swept_;
};

// Entries up to this size are read in runs, kReadAheadSize bytes of the archive at a time.
constexpr std::uint32_t kReadAheadLimit = 1u << 20;
constexpr std::size_t kReadAheadSize = std::size_t{4} << 20;

std::uint64_t u32(std::int64_t value) { return static_cast<std::uint32_t>(value); }

enum class Outcome { Done, Failed, Stop };

// One extraction run: where entries go and how the bytes get there.
struct Run {
    const PodArchive& archive;
    const File& source;
    std::string base;  // the root as given, without a trailing separator
    FolderCache& folders;
    CopyMethod method;
    // Set when the run stops: the failure every later entry would meet, and where it happened.
    int stopError = 0;
    std::string stopPath;
    ExtractedNames names = ExtractedNames::AsStored;
    Failure failure;  // the first entry that failed (shown)

    Outcome refuse(Failure refused) {
        report(refused);
        if (!failure.failed()) failure = std::move(refused);
        return Outcome::Failed;
    }
};

// Writes one entry: into a temporary name in its folder, its times set on the descriptor, then
// renamed over the target. data holds the entry's bytes when they were read ahead, else it is
// copied from the archive. A target that may not be replaced (a link, a folder, a read-only file)
// is reported and left as it was; so is the old file when anything fails.
Outcome extractEntry(Run& run, const ArchiveEntry& entry, const std::byte* data) {
    std::optional<std::string> relative =
        safeRelativePath(run.names == ExtractedNames::LowerCase ? archiveCodePage().lower(entry.name) : entry.name);
    if (!relative) return run.refuse(Failure::system(EACCES, run.base + "/" + storedNameForMessage(entry.name)));
    const std::string target = run.base + "/" + *relative;
    auto failed = [&](Failure failure) {
        if (failsEveryLaterWrite(failure) && failure.path == target) {
            run.stopError = failure.error;
            run.stopPath = target;
            return Outcome::Stop;
        }
        return run.refuse(std::move(failure));
    };

    std::size_t slash = relative->rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : relative->substr(0, slash);
    std::string leaf = slash == std::string::npos ? *relative : relative->substr(slash + 1);
    int folderFd = run.folders.open(folder);
    if (folderFd < 0) return failed(Failure::system(errno, target));

    Result<PendingFile> pending = PendingFile::create(folderFd, leaf, target, false);
    if (!pending) return failed(pending.failure());
    File& out = pending->file();
    const std::uint64_t size = u32(entry.size);
    if (data != nullptr) {
        if (!out.writeAll(std::span(data, static_cast<std::size_t>(size)))) return failed(out.failure());
    } else {
        CopyResult copied = copyRange(run.source, u32(entry.offset), out, size, &run.method);
        if (copied.failure.failed())
            return failed(Failure::system(copied.failure.error, copied.readFailed ? run.archive.path() : target));
        // The archive became shorter since it was read.
        if (copied.copied < size) return failed(Failure::system(ENODATA, run.archive.path()));
    }
    // The data is whole; a time that cannot be set is reported, and the file stays.
    Failure timesFailed;
    if (entry.time != kNoEntryTime) {
        const struct timespec time = timespecFromFileTime(entry.time);
        if (!out.setTimes(time, time)) timesFailed = out.failure();
    }
    if (Failure published = pending->publish(Publish::Replace, false); published.failed()) return failed(published);
    // The data is whole under its name; a time that could not be set is still reported.
    if (timesFailed.failed()) return failed(timesFailed);
    return Outcome::Done;
}

// The archive bytes of a run of small entries that lie close together, read in one call.
class ReadAhead {
public:
    // The bytes of the entry at position at of indices, reading its run when needed; nullptr when
    // the entry is large or could not be read ahead (it is then copied on its own).
    const std::byte* bytes(const File& source, const std::vector<ArchiveEntry>& entries,
                           const std::vector<std::size_t>& indices, std::size_t at) {
        const ArchiveEntry& entry = entries[indices[at]];
        if (u32(entry.size) > kReadAheadLimit) return nullptr;
        const std::uint64_t offset = u32(entry.offset);
        const std::uint64_t end = offset + u32(entry.size);
        if (offset >= start_ && end <= start_ + length_) return buffer_.data() + (offset - start_);

        // The run: the following entries while each is small and ends within the window.
        std::uint64_t runEnd = end;
        for (std::size_t next = at + 1; next < indices.size(); ++next) {
            const ArchiveEntry& other = entries[indices[next]];
            const std::uint64_t otherStart = u32(other.offset);
            const std::uint64_t otherEnd = otherStart + u32(other.size);
            if (u32(other.size) > kReadAheadLimit || otherStart < offset || otherEnd > offset + kReadAheadSize) break;
            runEnd = std::max(runEnd, otherEnd);
        }
        if (runEnd == offset) return buffer_.data();
        const auto want = static_cast<std::size_t>(runEnd - offset);
        if (buffer_.size() < want) buffer_.resize(std::min(kReadAheadSize, std::max(want, 2 * buffer_.size())));
        start_ = length_ = 0;
        std::int64_t got = source.readAt(offset, std::span(buffer_).first(want));
        if (got < 0 || static_cast<std::uint64_t>(got) < end - offset) return nullptr;
        start_ = offset;
        length_ = static_cast<std::uint64_t>(got);
        return buffer_.data();
    }

private:
    std::vector<std::byte> buffer_;
    std::uint64_t start_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace

int PodArchive::extractAll(const std::string& root, ProgressSink* progress) {
    std::vector<std::size_t> all(entries_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return extractSelected(root, all, progress);
}

int PodArchive::extractSelected(const std::string& root, const std::vector<std::size_t>& indices,
                                ProgressSink* progress, ExtractedNames names) {
    extracted_ = 0;
    failure_ = {};
    if (indices.empty() || forWriting_) return 1;
    if (progress != nullptr) progress->setRange(0, static_cast<int>(indices.size()));

    File rootFolder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), root);
    if (!rootFolder.valid()) return fail(rootFolder.failure(), true);
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();

    FolderCache folders(rootFolder.fd());
    Run run{*this, file_, base, folders, {}, 0, {}, names, {}};
    ReadAhead readAhead;
    std::vector<std::size_t> valid;
    valid.reserve(indices.size());
    for (std::size_t index : indices) {
        if (index < entries_.size()) valid.push_back(index);
    }
    int result = 1;
    for (std::size_t at = 0; at < valid.size(); ++at) {
        const Outcome outcome = extractEntry(run, entries_[valid[at]], readAhead.bytes(file_, entries_, valid, at));
        if (outcome == Outcome::Stop) {
            // Every later entry would fail the same way: one report instead of one per entry.
            const std::size_t left = valid.size() - at;
            const std::string count = fillIn(messageText(kMsgEntriesNotExtracted, "%1 of %2 entries not extracted"),
                                             std::to_string(left), std::to_string(valid.size()));
            Failure stop = Failure::system(run.stopError, run.stopPath + "\n" + count);
            report(stop);
            noteFailure(run.failure.failed() ? run.failure : stop);
            return 0;
        }
        if (outcome == Outcome::Failed) result = 0;
        if (outcome == Outcome::Done) ++extracted_;
        if (progress != nullptr) progress->step();
    }
    noteFailure(run.failure);
    return result;
}

}  // namespace quillomar
