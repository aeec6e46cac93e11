// The POD3 writer. Layout as written: the 288-byte header, every file's data back to back in
// list order, the directory, then the names. The header is written last, once the entry count,
// the directory offset and the name-table length are known. The archive is built in an unnamed
// (or hidden) file and takes its name only when complete and flushed to disk.

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/outputfile.h"
#include "platform/syserror.h"

namespace quillomar {

namespace {

// Files up to this size are read into a gathering buffer; larger ones are copied on their own.
// Two buffers of kGatherSize take turns: one is filled while the other is written.
constexpr std::uint64_t kGatherLimit = std::uint64_t{1} << 20;
constexpr std::size_t kGatherSize = std::size_t{2} << 20;
static_assert(kGatherLimit <= kGatherSize);
// Below this many files the calling thread writes the buffers itself.
constexpr std::size_t kThreadedMinimum = 32;

// A header text in the code page; checkWrite has refused one the code page cannot hold.
void convertHeaderText(const std::string& utf8, HeaderText& out) {
    out = makeHeaderText(archiveCodePage().fromUtf8(utf8).value_or(std::string()));
}

// Archive bytes gathered in memory and written in large pieces at the archive's current position,
// by a second thread when there is one, so that reading the next files overlaps the writing.
class GatherBuffer {
public:
    GatherBuffer(File& out, bool threaded) : out_(out) {
        if (!threaded) return;
        try {
            thread_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the calling thread writes.
        }
    }
    ~GatherBuffer() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    GatherBuffer(const GatherBuffer&) = delete;
    GatherBuffer& operator=(const GatherBuffer&) = delete;

    // Makes room for count more bytes (at most kGatherSize), handing a full buffer over to be
    // written: an empty record, or the archive's write failure once a write has failed.
    [[nodiscard]] Failure reserve(std::size_t count) {
        Piece& piece = pieces_[filling_];
        if (piece.used + count > kGatherSize) {
            if (Failure failed = handOver(); failed.failed()) return failed;
        }
        Piece& room = pieces_[filling_];
        if (room.bytes.size() < room.used + count)
            room.bytes.resize(std::min<std::size_t>(kGatherSize, std::max(room.used + count, 2 * room.bytes.size())));
        return {};
    }
    std::span<std::byte> tail(std::size_t count) {
        Piece& piece = pieces_[filling_];
        return std::span(piece.bytes).subspan(piece.used, count);
    }
    void grow(std::size_t count) { pieces_[filling_].used += count; }

    // Writes everything gathered and waits until it is written, after which the caller may write
    // to the archive itself: an empty record, or the archive's write failure.
    [[nodiscard]] Failure flush() {
        if (Failure failed = handOver(); failed.failed() || !thread_.joinable()) return failed;
        std::unique_lock lock(mutex_);
        return idle(lock);
    }

private:
    struct Piece {
        std::vector<std::byte> bytes;
        std::size_t used = 0;
        bool pending = false;  // handed over, not yet written
    };

    // Hands the buffer being filled over and continues in the other one once that is written.
    // After a failure it returns only once the writing thread has stopped touching the archive.
    Failure handOver() {
        Piece& full = pieces_[filling_];
        if (!thread_.joinable()) {
            if (full.used != 0 && !failure_.failed() && !out_.writeAll(std::span(full.bytes).first(full.used)))
                failure_ = out_.failure();
            full.used = 0;
            return failure_;
        }
        std::unique_lock lock(mutex_);
        if (full.used != 0) {
            full.pending = true;
            filling_ = 1 - filling_;
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return !pieces_[filling_].pending || failure_.failed(); });
        return failure_.failed() ? idle(lock) : Failure();
    }
    // Waits until nothing handed over is left to write: an empty record when every write
    // succeeded, else the first failure.
    Failure idle(std::unique_lock<std::mutex>& lock) {
        changed_.wait(lock, [this] { return !pieces_[0].pending && !pieces_[1].pending; });
        return failure_;
    }

    // The writing thread: the buffers in the order they were handed over; after a failure the
    // rest is dropped, as the archive is given up.
    void work() {
        std::unique_lock lock(mutex_);
        int next = 0;
        for (;;) {
            changed_.wait(lock, [&] { return ending_ || pieces_[next].pending; });
            if (!pieces_[next].pending) return;
            Piece& piece = pieces_[next];
            const bool write = !failure_.failed();
            lock.unlock();
            const bool written = !write || out_.writeAll(std::span(piece.bytes).first(piece.used));
            lock.lock();
            if (!written) failure_ = out_.failure();
            piece.used = 0;
            piece.pending = false;
            next = 1 - next;
            changed_.notify_all();
        }
    }

    File& out_;
    Piece pieces_[2];
    int filling_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    Failure failure_;  // the first failed write; the rest is then dropped
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace

PackPlan PodArchive::checkWrite(const std::vector<SourceFile>& files, std::int32_t prefixLength) const {
    PackPlan plan = planPack(files, prefixLength, path_);
    std::vector<PackProblem> texts;
    const std::pair<const std::string*, const char*> fields[] = {
        {&description_, "description"}, {&author_, "author"}, {&copyright_, "copyright"}};
    for (const auto& [text, field] : fields) {
        if (!archiveCodePage().fromUtf8(*text))
            texts.push_back({PackProblem::Kind::BadHeaderText, EILSEQ, field, {}, 0});
    }
    plan.problems.insert(plan.problems.begin(), texts.begin(), texts.end());
    return plan;
}

int PodArchive::write(std::vector<SourceFile>& files, std::uint32_t bufferSize, std::int32_t prefixLength,
                      ProgressSink* progress) {
    static_cast<void>(bufferSize);  // copies go in bounded chunks whatever the largest file is
    failure_ = {};
    if (!forWriting_) return fail(Failure::system(EBADF, path_), false);
    writeOffset_ = 0;
    if (progress != nullptr) progress->setRange(0, static_cast<int>(files.size()));

    // Everything that could make the archive unusable is refused before it is created.
    PackPlan plan = checkWrite(files, prefixLength);
    if (!plan.problems.empty()) {
        const PackProblem& first = plan.problems.front();
        return fail(Failure::system(first.error, packProblemPaths(first)), true);
    }
    convertHeaderText(description_, header_.description);
    convertHeaderText(author_, header_.author);
    convertHeaderText(copyright_, header_.copyright);

    // The archive is built where no one sees it and named only once complete and on disk. Where
    // that is a hidden name (no unnamed files), what a killed run left beside it goes first.
    if (const int folderFd = openFolder(parentFolder(path_)); folderFd >= 0) {
        sweepLeftovers(folderFd);
        closeFolder(folderFd);
    }
    Result<PendingFile> created = PendingFile::create(path_, true);
    if (!created) return fail(created.failure(), true);
    PendingFile& pending = *created;
    File& archive = pending.file();
    // A failed write leaves no partial archive behind.
    auto writeFailed = [&](Failure failure) {
        pending.discard();
        return fail(std::move(failure), true);
    };

    // Small files are gathered and written in large pieces; a large one goes straight from its
    // file to the archive, by the kernel where it can. The header goes out last, with the entry
    // count, directory offset and name-table length in place.
    if (!archive.seek(kPod3HeaderSize)) return writeFailed(archive.failure());
    GatherBuffer gathered(archive, files.size() >= kThreadedMinimum);
    writeOffset_ = kPod3HeaderSize;
    CopyMethod method;

    // Data, in list order. A file that cannot be opened or read is left out of the directory
    // (what reached the archive of it is written over); one that ended early because it became
    // shorter since the scan is recorded with the bytes that were stored.
    std::vector<std::byte> directory;
    std::vector<std::byte> names;
    directory.reserve(files.size() * kDirectoryRecordSize);
    std::int32_t stored = 0;
    bool rewound = false;  // data of a file left out may stand past the archive's end
    // A source file that could not be copied in full is shown and the run goes on.
    auto skipped = [this](const Failure& failure) {
        Failure shown = failure;
        report(shown);
        noteFailure(shown);
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SourceFile& file = files[i];
        const std::string& storedName = plan.storedNames[i];
        File source = File::openRead(file.name);
        if (!source.valid()) {
            skipped(source.failure());
            continue;
        }
        file.offset = static_cast<std::int64_t>(writeOffset_);
        CopyResult copied;
        if (file.size <= kGatherLimit) {
            if (Failure failed = gathered.reserve(file.size); failed.failed()) return writeFailed(failed);
            ReadResult read = source.readAt(0, gathered.tail(file.size));
            const std::int64_t got = read.count;
            if (!read.ok()) {
                copied.failure = std::move(read.failure);
                copied.readFailed = true;
            } else {
                copied.copied = static_cast<std::uint64_t>(got);
                gathered.grow(copied.copied);
            }
        } else {
            if (Failure failed = gathered.flush(); failed.failed()) return writeFailed(failed);
            copied = copyRange(source, 0, archive, file.size, &method);
        }
        if (copied.failure.failed() && !copied.readFailed) return writeFailed(copied.failure);
        source.abandon();  // only read from
        if (copied.failure.failed()) {
            skipped(copied.failure);
            if (copied.copied > 0) {
                if (!archive.seek(writeOffset_)) return writeFailed(archive.failure());
                rewound = true;
            }
            if (progress != nullptr) progress->step();
            continue;
        }
        if (copied.copied < file.size) {
            skipped(Failure::ownWords(file.name,
                                      formatString("became shorter while it was packed: stored %llu of %llu bytes",
                                                   static_cast<unsigned long long>(copied.copied),
                                                   static_cast<unsigned long long>(file.size))));
        }

        DirectoryRecord record;
        record.nameOffset = static_cast<std::uint32_t>(names.size());
        record.size = static_cast<std::int32_t>(copied.copied);
        record.dataOffset = static_cast<std::int32_t>(static_cast<std::uint32_t>(writeOffset_));
        record.timestamp = encodeTimestamp(file.time);
        directory.resize(directory.size() + kDirectoryRecordSize);
        encodeDirectoryRecord(record, std::span(directory).last<kDirectoryRecordSize>());
        const auto* nameBytes = reinterpret_cast<const std::byte*>(storedName.data());
        names.insert(names.end(), nameBytes, nameBytes + storedName.size());
        names.push_back(std::byte{0});

        writeOffset_ += copied.copied;
        ++stored;
        if (progress != nullptr) progress->step();
    }
    if (Failure failed = gathered.flush(); failed.failed()) return writeFailed(failed);

    header_.entryCount = stored;
    header_.directoryOffset = static_cast<std::uint32_t>(writeOffset_);
    header_.namesSize = static_cast<std::uint32_t>(names.size());
    if (!archive.writeAll(directory) || !archive.writeAll(names) || !archive.writeAt(0, encodeHeader(header_)))
        return writeFailed(archive.failure());
    if (rewound && !archive.truncate(writeOffset_ + directory.size() + names.size())) {
        return writeFailed(archive.failure());
    }

    if (Failure published = pending.publish(replaceExisting_ ? Publish::Replace : Publish::NoReplace, true);
        published.failed()) {
        if (published.detail != kNamedNotDurable) return fail(published, true);
        // The archive stands complete under its name; only the folder's flush failed.
        Failure shown = Failure::ownWords(
            path_, "the archive was written but may not be durable: " + systemErrorText(published.error));
        shown.error = published.error;
        report(shown);
        noteFailure(shown);
    }
    // The archive is written; failure() still holds the first source file that was left out or
    // cut short, if any.
    return 1;
}

}  // namespace quillomar
