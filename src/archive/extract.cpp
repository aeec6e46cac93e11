// Extraction below a root folder. The root is taken as the user gave it; below it nothing is
// trusted: a stored name with "..", a leading separator or a drive designator is refused, every
// folder is entered relative to its parent without following a link, and a file is never written through
// a symbolic link or a hard link that is already there: each file is written as an unnamed file
// (or under a hidden temporary name) and takes its name, or replaces its target, only once whole.

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <unordered_set>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/outputfile.h"

namespace quillomar {

namespace {

// A folder descriptor shared by the entries written into it, closed when the last is done.
class Folder {
public:
    // owned: closed with this handle (the root's descriptor belongs to the caller).
    Folder(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~Folder() {
        if (owned_) closeFolder(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
    bool owned_;
};

// The folder of the previous entry stays open: entries come grouped by folder.
class FolderCache {
public:
    explicit FolderCache(int rootFd) : rootFd_(rootFd) {}

    // The folder (relative, '/' separators, "" for the root), created as needed; null with errno
    // set when a component cannot be created or is no real folder. The root is never closed here.
    std::shared_ptr<const Folder> open(const std::string& folder) {
        if (folder.empty()) {
            if (!rootSwept_) sweepLeftovers(rootFd_);
            rootSwept_ = true;
            return root_;
        }
        if (current_ && folder == folder_) return current_;
        current_.reset();
        folder_.clear();
        int current = rootFd_;
        bool existed = false;
        std::size_t start = 0;
        while (start < folder.size()) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos) end = folder.size();
            std::string component = folder.substr(start, end - start);
            int next = openSubfolder(current, component, true, existed);
            int error = errno;
            closeIfOwned(current);
            if (next < 0) {
                errno = error;
                return nullptr;
            }
            current = next;
            start = end + 1;
        }
        current_ = std::make_shared<const Folder>(current, true);
        folder_ = folder;
        // A folder that was there before may hold what a killed run left; a new one holds nothing.
        if (existed && swept_.insert(folder).second) sweepLeftovers(current);
        return current_;
    }

private:
    void closeIfOwned(int fd) const {
        if (fd != rootFd_) closeFolder(fd);
    }

    int rootFd_;
    std::shared_ptr<const Folder> root_ = std::make_shared<const Folder>(rootFd_, false);
    std::shared_ptr<const Folder> current_;
    std::string folder_;
    bool rootSwept_ = false;
    std::unordered_set<std::string> swept_;
};

// Entries up to this size are read in runs, kReadAheadSize bytes of the archive at a time.
constexpr std::uint32_t kReadAheadLimit = 1u << 20;
constexpr std::size_t kReadAheadSize = std::size_t{4} << 20;

std::uint64_t u32(std::int64_t value) { return static_cast<std::uint32_t>(value); }

enum class Outcome { Done, Failed, Stop };

// One entry on its way to disk: placed (name, folder, bytes), its data written into an unnamed
// file, then named and reported.
struct Job {
    std::size_t position = 0;  // in the run
    std::string target;        // the path shown in messages
    std::shared_ptr<const Folder> folder;
    std::string leaf;
    const std::byte* data = nullptr;  // the bytes when read ahead, else copied from the archive
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    FileTime time = kNoEntryTime;

    // Outcome of the placing or the writing: a refusal to report, or what failed.
    Failure refused;
    Failure failure;
    Failure timesFailed;
    PendingFile pending;
};

// Writes a placed entry's data into an unnamed file in its folder (a hidden temporary name where
// the file system has none) and sets its times on the descriptor.
void writeJob(Job& job, const File& source, const std::string& archivePath, CopyMethod& method) {
    if (job.refused.failed() || job.failure.failed()) return;
    Result<PendingFile> pending = PendingFile::create(job.folder->fd(), job.leaf, job.target, true);
    if (!pending) {
        job.failure = pending.failure();
        return;
    }
    job.pending = std::move(*pending);
    File& out = job.pending.file();
    if (job.data != nullptr) {
        if (!out.writeAll(std::span(job.data, static_cast<std::size_t>(job.size)))) job.failure = out.failure();
    } else {
        CopyResult copied = copyRange(source, job.offset, out, job.size, &method);
        if (copied.failure.failed()) {
            job.failure = Failure::system(copied.failure.error, copied.readFailed ? archivePath : job.target);
        } else if (copied.copied < job.size) {
            job.failure = Failure::system(ENODATA, archivePath);  // the archive became shorter since it was read
        }
    }
    if (job.failure.failed()) return;
    // The data is whole; a time that cannot be set is reported, and the file stays.
    if (job.time != kNoEntryTime) {
        const struct timespec time = timespecFromFileTime(job.time);
        if (!out.setTimes(time, time)) job.timesFailed = out.failure();
    }
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

    File rootFolder(openFolder(root), root);
    if (!rootFolder.valid()) return fail(rootFolder.failure(), true);
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();

    std::vector<std::size_t> valid;
    valid.reserve(indices.size());
    for (std::size_t index : indices) {
        if (index < entries_.size()) valid.push_back(index);
    }
    FolderCache folders(rootFolder.fd());
    ReadAhead readAhead;
    CopyMethod method;

    Failure firstFailure;  // the first entry that failed (shown)
    auto refuse = [&](Failure refused) {
        report(refused);
        if (!firstFailure.failed()) firstFailure = std::move(refused);
        return Outcome::Failed;
    };
    // Names a written entry and reports what failed.
    auto finish = [&](Job& job) {
        if (job.refused.failed()) return refuse(std::move(job.refused));
        if (!job.failure.failed()) job.failure = job.pending.publish(Publish::Replace, false);
        // The data is whole under its name when only its times failed; otherwise the old file stays.
        if (!job.failure.failed()) job.failure = std::move(job.timesFailed);
        if (!job.failure.failed()) return Outcome::Done;
        if (failsEveryLaterWrite(job.failure) && job.failure.path == job.target) return Outcome::Stop;
        return refuse(std::move(job.failure));
    };

    int result = 1;
    std::optional<Job> stopped;
    for (std::size_t at = 0; at < valid.size() && !stopped; ++at) {
        const ArchiveEntry& entry = entries_[valid[at]];
        Job job;
        job.position = at;
        std::optional<std::string> relative =
            safeRelativePath(names == ExtractedNames::LowerCase ? archiveCodePage().lower(entry.name) : entry.name);
        if (!relative) {
            job.refused = Failure::system(EACCES, base + "/" + storedNameForMessage(entry.name));
        } else {
            job.target = base + "/" + *relative;
            std::size_t slash = relative->rfind('/');
            std::string folder = slash == std::string::npos ? std::string() : relative->substr(0, slash);
            job.leaf = slash == std::string::npos ? *relative : relative->substr(slash + 1);
            job.folder = folders.open(folder);
            if (!job.folder) job.failure = Failure::system(errno, job.target);
        }
        job.offset = u32(entry.offset);
        job.size = u32(entry.size);
        job.time = entry.time;
        if (job.folder) job.data = readAhead.bytes(file_, entries_, valid, at);
        writeJob(job, file_, path_, method);
        const Outcome outcome = finish(job);
        if (outcome == Outcome::Stop) {
            stopped = std::move(job);
            break;
        }
        if (outcome == Outcome::Failed) result = 0;
        if (outcome == Outcome::Done) ++extracted_;
        if (progress != nullptr) progress->step();
    }

    if (stopped) {
        // Every later entry would fail the same way: one report instead of one per entry.
        const std::size_t left = valid.size() - stopped->position;
        const std::string count = fillIn(messageText(kMsgEntriesNotExtracted, "%1 of %2 entries not extracted"),
                                         std::to_string(left), std::to_string(valid.size()));
        Failure stop = Failure::system(stopped->failure.error, stopped->target + "\n" + count);
        report(stop);
        noteFailure(firstFailure.failed() ? firstFailure : stop);
        return 0;
    }
    noteFailure(firstFailure);
    return result;
}

}  // namespace quillomar
