// Extraction below a root folder. The root is taken as the user gave it; below it nothing is
// trusted: a stored name with "..", a leading separator or a drive designator is refused, every
// folder is entered relative to its parent without following a link, and a file is never written through
// a symbolic link or a hard link that is already there: each file is written as an unnamed file
// (or under a hidden temporary name) and takes its name, or replaces its target, only once whole.

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "archive/dataoverlap.h"
#include "archive/extractcheck.h"
#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/windowsname.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/messages.h"  // the count text only: nothing is shown here
#include "platform/outputfile.h"

namespace quillomar {

namespace {

// A folder descriptor shared by the entries written into it, closed when the last is done.
class Folder {
public:
    // Whose descriptor it is: the root's belongs to the caller; the others close with this handle.
    enum class Owner { Caller, Handle };
    Folder(int fd, Owner owner) : fd_(fd), owned_(owner == Owner::Handle) {}
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

// Folders stay open while entries go into them, and so do the folders above them: the entries
// of an archive usually come grouped by folder, but not always, and reopening a folder path for
// each entry would cost a system call per component.
class FolderCache {
public:
    explicit FolderCache(int rootFd) : rootFd_(rootFd) {}

    // The folder (relative, '/' separators, "" for the root), created as needed; a failure naming
    // target when a component cannot be created or is no real folder. The root is never closed here.
    Result<std::shared_ptr<const Folder>> open(const std::string& folder, const std::string& target) {
        if (folder.empty()) {
            if (!rootSwept_) sweepLeftovers(rootFd_);
            rootSwept_ = true;
            return root_;
        }
        if (auto found = open_.find(folder); found != open_.end()) return found->second;
        if (open_.size() >= kMostOpen) open_.clear();  // a folder still in use closes with its last entry
        // From the deepest folder above it that is open already, one component at a time.
        std::shared_ptr<const Folder> parent = root_;
        std::size_t start = 0;
        for (std::size_t slash = folder.rfind('/'); slash != std::string::npos && slash > 0;
             slash = folder.rfind('/', slash - 1)) {
            if (auto above = open_.find(folder.substr(0, slash)); above != open_.end()) {
                parent = above->second;
                start = slash + 1;
                break;
            }
        }
        while (start < folder.size()) {
            const std::size_t end = std::min(folder.find('/', start), folder.size());
            Result<Subfolder> next = openSubfolder(parent->fd(), folder.substr(start, end - start), IfMissing::Create);
            if (!next) return Failure::system(next.failure().error, target);
            parent = std::make_shared<const Folder>(next->folder.release(), Folder::Owner::Handle);
            std::string path = folder.substr(0, end);
            // A folder that was there before may hold what a killed run left; a new one holds nothing.
            if (!next->created && swept_.insert(path).second) sweepLeftovers(parent->fd());
            open_.insert_or_assign(std::move(path), parent);
            start = end + 1;
        }
        return parent;
    }

private:
    // Open folders at the most, per thread.
    static constexpr std::size_t kMostOpen = 64;

    int rootFd_;
    std::shared_ptr<const Folder> root_ = std::make_shared<const Folder>(rootFd_, Folder::Owner::Caller);
    std::unordered_map<std::string, std::shared_ptr<const Folder>> open_;
    bool rootSwept_ = false;
    std::unordered_set<std::string> swept_;
};

// Entries up to this size are read in runs, kReadAheadSize bytes of the archive at a time.
constexpr std::uint32_t kReadAheadLimit = 1u << 20;
constexpr std::size_t kReadAheadSize = std::size_t{4} << 20;

// One entry on its way to disk: placed (name, folder, bytes), its data written into an unnamed
// file, then named and reported.
struct Job {
    std::string target;  // the path shown in messages
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
    Result<PendingFile> pending = PendingFile::create(job.folder->fd(), job.leaf, job.target, UnnamedFile::Allowed);
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
    // The bytes of the entry at position at of indices, reading its run (which ends before
    // position until) when needed; nullptr when the entry is large or could not be read ahead (it
    // is then copied on its own).
    const std::byte* bytes(const File& source, const std::vector<ArchiveEntry>& entries,
                           const std::vector<std::size_t>& indices, std::size_t at, std::size_t until) {
        const ArchiveEntry& entry = entries[indices[at]];
        if (entry.size > kReadAheadLimit) return nullptr;
        const std::uint64_t offset = entry.offset;
        const std::uint64_t end = offset + entry.size;
        if (offset >= start_ && end <= start_ + length_) return buffer_.data() + (offset - start_);

        // The run: the following entries while each is small and ends within the window.
        std::uint64_t runEnd = end;
        for (std::size_t next = at + 1; next < until; ++next) {
            const ArchiveEntry& other = entries[indices[next]];
            const std::uint64_t otherStart = other.offset;
            const std::uint64_t otherEnd = otherStart + other.size;
            if (other.size > kReadAheadLimit || otherStart < offset || otherEnd > offset + kReadAheadSize) break;
            runEnd = std::max(runEnd, otherEnd);
        }
        if (runEnd == offset) return buffer_.data();
        const auto want = static_cast<std::size_t>(runEnd - offset);
        if (buffer_.size() < want) buffer_.resize(std::min(kReadAheadSize, std::max(want, 2 * buffer_.size())));
        start_ = length_ = 0;
        std::int64_t got = source.readAt(offset, std::span(buffer_).first(want)).count;
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

// The entries one thread extracts, and what came of them.
struct Part {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t extracted = 0;            // written whole
    std::atomic<std::size_t> handled{0};  // done with, for the progress the caller shows
    std::vector<Failure> failures;        // kept, in entry order, when another thread reports them
    std::size_t told = 0;                 // failures handed to the observer
    std::optional<Failure> stop;          // a failure every later write would meet too
};

// A run of extraction below one root: places each entry, writes it and names it. Two threads may
// share one, each with a part of the entries and its own folders and read-ahead buffer.
class Extraction {
public:
    Extraction(const std::vector<ArchiveEntry>& entries, const std::vector<std::size_t>& valid, const File& archive,
               const std::string& archivePath, int rootFd, std::string base, ExtractedNames names)
        : entries_(entries),
          valid_(valid),
          archive_(archive),
          archivePath_(archivePath),
          rootFd_(rootFd),
          base_(std::move(base)),
          names_(names) {}

    // Extracts part's entries, handing each refusal or failure to failed and calling handled after
    // each entry; marks each entry written whole in written(). Ends early at a failure that every later write would
    // meet too (kept in part.stop), or once another thread has met one.
    template <typename Failed, typename Handled>
    void run(Part& part, Failed&& failed, Handled&& handled) {
        FolderCache folders(rootFd_);
        ReadAhead readAhead;
        CopyMethod method;
        for (std::size_t at = part.begin; at < part.end && !stopped_.load(std::memory_order_relaxed); ++at) {
            Job job = place(at, folders);
            if (job.folder) job.data = readAhead.bytes(archive_, entries_, valid_, at, part.end);
            writeJob(job, archive_, archivePath_, method);
            if (job.refused.failed()) {
                failed(std::move(job.refused));
            } else {
                if (!job.failure.failed()) job.failure = job.pending.publish(Publish::Replace, Flush::Nothing);
                // The data is whole under its name when only its times failed; otherwise the old file stays.
                if (!job.failure.failed()) job.failure = std::move(job.timesFailed);
                if (!job.failure.failed()) {
                    ++part.extracted;
                    written_[at] = 1;
                } else if (failsEveryLaterWrite(job.failure) && job.failure.path == job.target) {
                    part.stop = Failure::system(job.failure.error, job.target);
                    stopped_.store(true, std::memory_order_relaxed);
                    return;
                } else {
                    failed(std::move(job.failure));
                }
            }
            part.handled.fetch_add(1, std::memory_order_release);
            handled();
        }
    }

    // Where the entries may be cut in two for a second thread: the end of the first part, or 0 when
    // one thread must do them all. Two entries that land on one path, or a file where another
    // entry needs a folder, keep their order only on one thread; names are compared with case
    // folded, as a case-insensitive file system would.
    std::size_t splitPoint() const {
        if (valid_.size() < kParallelEntries || std::thread::hardware_concurrency() < 2) return 0;
        const CodePage& page = archiveCodePage();
        std::vector<std::uint64_t> files;
        std::vector<std::uint64_t> folders;
        files.reserve(valid_.size());
        std::uint64_t weight = 0;
        for (std::size_t index : valid_) {
            // FNV-1a over the path as extraction builds it: separators and "." skipped, case folded.
            std::uint64_t hash = 14695981039346656037ull;
            std::size_t length = 0;
            auto add = [&](char byte) { hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull; };
            for (std::string_view rest = entries_[index].name; !rest.empty();) {
                const std::size_t cut = std::min(rest.find_first_of("\\/"), rest.size());
                const std::string_view component = rest.substr(0, cut);
                rest.remove_prefix(std::min(cut + 1, rest.size()));
                if (component.empty() || component == ".") continue;
                if (length++ > 0) {
                    folders.push_back(hash);
                    add('/');
                }
                for (char byte : component) add(page.lower(byte));
            }
            files.push_back(hash);
            weight += entries_[index].size + kFileWeight;
        }
        std::sort(files.begin(), files.end());
        if (std::adjacent_find(files.begin(), files.end()) != files.end()) return 0;
        for (std::uint64_t folder : folders) {
            if (std::binary_search(files.begin(), files.end(), folder)) return 0;
        }
        // The cut halves the work: bytes to write and a fixed cost per file.
        std::uint64_t first = 0;
        for (std::size_t at = 0; at < valid_.size(); ++at) {
            first += entries_[valid_[at]].size + kFileWeight;
            if (2 * first >= weight) return at + 1 < valid_.size() ? at + 1 : 0;
        }
        return 0;
    }

    // Per position of the valid entries: 1 when it was written whole. Each thread sets only the
    // positions of its own part; read once both have finished.
    const std::vector<char>& written() const { return written_; }

private:
    // At least this many entries before a second thread is worth starting.
    static constexpr std::size_t kParallelEntries = 64;
    // The cost of creating a file, as bytes written.
    static constexpr std::uint64_t kFileWeight = 32 * 1024;

    // The entry at position at of the valid entries, with its target path and its folder.
    Job place(std::size_t at, FolderCache& folders) const {
        const ArchiveEntry& entry = entries_[valid_[at]];
        Job job;
        job.offset = entry.offset;
        job.size = entry.size;
        job.time = entry.time;
        // A name the system cannot keep is refused before any of its folders is created.
        if constexpr (kHostHasWindowsNames) {
            if (std::optional<WindowsNameProblem> problem = findWindowsNameProblem(entry.name)) {
                job.refused = Failure::system(EINVAL, base_ + "/" + storedNameForMessage(entry.name),
                                              describeWindowsNameProblem(*problem));
                return job;
            }
        }
        std::optional<std::string> relative =
            safeRelativePath(names_ == ExtractedNames::LowerCase ? archiveCodePage().lower(entry.name) : entry.name);
        if (!relative) {
            job.refused = Failure::system(EACCES, base_ + "/" + storedNameForMessage(entry.name));
            return job;
        }
        job.target = base_ + "/" + *relative;
        const std::size_t slash = relative->rfind('/');
        job.leaf = slash == std::string::npos ? *relative : relative->substr(slash + 1);
        Result<std::shared_ptr<const Folder>> folder =
            folders.open(slash == std::string::npos ? std::string() : relative->substr(0, slash), job.target);
        if (folder) {
            job.folder = std::move(*folder);
        } else {
            job.failure = folder.failure();
        }
        return job;
    }

    const std::vector<ArchiveEntry>& entries_;
    const std::vector<std::size_t>& valid_;
    const File& archive_;
    const std::string& archivePath_;
    int rootFd_;
    std::string base_;
    ExtractedNames names_;
    std::atomic<bool> stopped_{false};
    std::vector<char> written_ = std::vector<char>(valid_.size(), 0);
};

// The two parts of one extraction: this thread extracts the first and tells the observer as it
// goes; a second thread, where one helps, extracts the rest and keeps its failures, told after
// the first part's. Ends with parts' counts and stops filled in.
class TwoParts {
public:
    TwoParts(Extraction& extraction, std::size_t count, ExtractionObserver& observer, ProgressSink* progress)
        : extraction_(extraction), count_(count), observer_(observer), progress_(progress) {
        const std::size_t half = extraction.splitPoint();
        split(half == 0 ? count : half);
    }

    void run(const std::string& archivePath) {
        std::jthread second = startSecond(archivePath);
        extraction_.run(parts_[0], tellFrom(parts_[0]), [this] { showProgress(); });
        {
            std::unique_lock lock(mutex_);
            while (!secondDone_) {
                finished_.wait_for(lock, std::chrono::milliseconds(50));
                showProgress();
            }
        }
        if (second.joinable()) second.join();
        showProgress();
        if (!parts_[0].stop) {
            auto tellSecond = tellFrom(parts_[1]);
            for (Failure& failure : parts_[1].failures) tellSecond(std::move(failure));
        }
    }

    // The failure that stopped the extraction, or nullptr. After a stop in the first part the
    // second part's failures are not told: the stop counts them.
    const Failure* stop() const {
        if (parts_[0].stop) return &*parts_[0].stop;
        return parts_[1].stop ? &*parts_[1].stop : nullptr;
    }
    std::size_t extracted() const { return parts_[0].extracted + parts_[1].extracted; }
    std::size_t told() const { return parts_[0].told + parts_[1].told; }
    const Failure& firstFailure() const { return firstFailure_; }

private:
    void split(std::size_t at) {
        parts_[0].end = parts_[1].begin = at;
        parts_[1].end = count_;
    }

    std::jthread startSecond(const std::string& archivePath) {
        secondDone_ = parts_[1].begin == parts_[1].end;
        if (secondDone_) return {};
        try {
            return std::jthread([this, &archivePath] {
                try {
                    extraction_.run(
                        parts_[1], [this](Failure failure) { parts_[1].failures.push_back(std::move(failure)); },
                        [] {});
                } catch (const std::bad_alloc&) {
                    parts_[1].stop = Failure::system(ENOMEM, archivePath);
                }
                const std::lock_guard lock(mutex_);
                secondDone_ = true;
                finished_.notify_one();
            });
        } catch (const std::system_error&) {
            split(count_);  // no second thread: this one does it all
            secondDone_ = true;
            return {};
        }
    }

    std::function<void(Failure)> tellFrom(Part& part) {
        return [this, counted = &part.told](Failure failure) {
            observer_.failed(failure);
            ++*counted;
            if (!firstFailure_.failed()) firstFailure_ = std::move(failure);
        };
    }

    void showProgress() {
        if (progress_ == nullptr) return;
        const std::size_t handled =
            parts_[0].handled.load(std::memory_order_acquire) + parts_[1].handled.load(std::memory_order_acquire);
        for (; shown_ < handled; ++shown_) progress_->step();
    }

    Extraction& extraction_;
    std::size_t count_;
    ExtractionObserver& observer_;
    ProgressSink* progress_;
    std::array<Part, 2> parts_;
    Failure firstFailure_;   // the first entry that failed (told)
    std::size_t shown_ = 0;  // progress steps shown
    std::mutex mutex_;
    std::condition_variable finished_;
    bool secondDone_ = false;
};

// An entry written whole that a later one, also written whole, replaced on disk, told to the
// observer: how many. Entries that land on one path keep their order on one thread, so the
// later one was written last.
std::size_t tellOverwritten(const std::vector<ArchiveEntry>& entries, const std::vector<std::size_t>& valid,
                            ExtractedNames names, const std::vector<char>& written, ExtractionObserver& observer) {
    const std::vector<std::size_t> next = nextOnSamePath(entries, valid, names);
    std::vector<char> laterWritten(valid.size(), 0);
    for (std::size_t at = valid.size(); at-- > 0;) {
        if (next[at] != kNoLater) laterWritten[at] = written[next[at]] != 0 || laterWritten[next[at]] != 0;
    }
    std::size_t overwritten = 0;
    for (std::size_t at = 0; at < valid.size(); ++at) {
        if (written[at] == 0 || laterWritten[at] == 0) continue;
        ++overwritten;
        observer.overwritten(valid[at]);
    }
    return overwritten;
}

// The folder extraction writes below as messages name it: root without its trailing separators.
std::string messageBase(const std::string& root) {
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();
    return base;
}

}  // namespace

std::string notExtractedText(std::size_t notExtracted, std::size_t total) {
    return fillIn(messageText(kMsgEntriesNotExtracted, "%1 of %2 entries not extracted"), std::to_string(notExtracted),
                  std::to_string(total));
}

Result<Extracted> PodArchive::extractAll(const std::string& root, ExtractionObserver& observer,
                                         ProgressSink* progress) {
    std::vector<std::size_t> all(entries_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return extractSelected(root, all, observer, progress, ExtractedNames::AsStored);
}

Result<Extracted> PodArchive::extractSelected(const std::string& root, const std::vector<std::size_t>& indices,
                                              ExtractionObserver& observer, ProgressSink* progress,
                                              ExtractedNames names) {
    if (indices.empty()) return Extracted{};
    if (progress != nullptr) progress->setRange(0, static_cast<int>(indices.size()));
    Result<FolderHandle> rootFolder = openFolder(root);
    if (!rootFolder) return rootFolder.failure();

    std::vector<std::size_t> valid;
    valid.reserve(indices.size());
    for (std::size_t index : indices) {
        if (index < entries_.size()) valid.push_back(index);
    }
    const std::uint64_t total = bytesToWrite(entries_, valid);
    if (isLargeOutput(total, fileSize_)) observer.largeOutput(total, fileSize_);

    Extraction extraction(entries_, valid, file_, path_, rootFolder->fd(), messageBase(root), names);
    TwoParts parts(extraction, valid.size(), observer, progress);
    parts.run(path_);

    Extracted done;
    done.files = parts.extracted();
    done.overwritten = tellOverwritten(entries_, valid, names, extraction.written(), observer);
    done.firstFailure = parts.firstFailure();
    if (const Failure* stop = parts.stop()) {
        // Every later entry would fail the same way: one report, counting every entry neither
        // written nor told on its own.
        const std::size_t left = valid.size() - done.files - parts.told();
        observer.stopped(*stop, left, valid.size());
        if (!done.complete()) return done;
        done.firstFailure = Failure::system(stop->error, stop->path + "\n" + notExtractedText(left, valid.size()));
    }
    return done;
}

}  // namespace quillomar
