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

#include "archive/podwriter.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "platform/codepage.h"
#include "platform/messages.h"  // formatString only: nothing is shown here
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

// What the stored files add after their data: a directory record and a name each.
struct Tables : DirectoryTables {
    bool rewound = false;  // data of a file left out may stand past the archive's end
};

// Appends the record and the name of a file stored at offset with size bytes.
void addToTables(Tables& tables, const SourceFile& file, const std::string& storedName, std::uint64_t offset,
                 std::uint64_t size) {
    DirectoryRecord record;
    record.size = static_cast<std::uint32_t>(size);
    record.dataOffset = static_cast<std::uint32_t>(offset);
    record.timestamp = encodeTimestamp(file.time);
    tables.add(record, storedName);
}

// Copies a source file's bytes to the archive: a small one into the gathering buffer, a large
// one straight from its file, by the kernel where it can.
CopyResult copySource(const SourceFile& file, const File& source, GatherBuffer& gathered, File& archive,
                      CopyMethod& method) {
    CopyResult copied;
    if (file.size > kGatherLimit) {
        if (Failure failed = gathered.flush(); failed.failed()) {
            copied.failure = std::move(failed);
            return copied;
        }
        return copyRange(source, 0, archive, file.size, &method);
    }
    if (Failure failed = gathered.reserve(file.size); failed.failed()) {
        copied.failure = std::move(failed);
        return copied;
    }
    ReadResult read = source.readAt(0, gathered.tail(file.size));
    if (!read.ok()) {
        copied.failure = std::move(read.failure);
        copied.readFailed = true;
    } else {
        copied.copied = static_cast<std::uint64_t>(read.count);
        gathered.grow(copied.copied);
    }
    return copied;
}

// Stores one opened source file at offset, advanced by what it stored. A file that cannot be read
// is left out (what reached the archive of it is written over later); one that ended early
// because it became shorter since the scan is recorded with the bytes that were stored. Either
// goes to observer. An empty record, or the archive's write failure.
Failure storeFile(SourceFile& file, File& source, const std::string& storedName, GatherBuffer& gathered, File& archive,
                  std::uint64_t& offset, Tables& tables, CopyMethod& method, WriteObserver& observer) {
    file.offset = static_cast<std::uint32_t>(offset);
    CopyResult copied = copySource(file, source, gathered, archive, method);
    if (copied.failure.failed() && !copied.readFailed) return copied.failure;
    source.abandon();  // only read from
    if (copied.failure.failed()) {
        observer.incomplete(copied.failure);
        if (copied.copied > 0) {
            if (!archive.seek(offset)) return archive.failure();
            tables.rewound = true;
        }
        return {};
    }
    if (copied.copied < file.size) {
        observer.incomplete(Failure::ownWords(
            file.name,
            formatString("became shorter while it was packed: stored %llu of %llu bytes",
                         static_cast<unsigned long long>(copied.copied), static_cast<unsigned long long>(file.size))));
    }
    addToTables(tables, file, storedName, offset, copied.copied);
    offset += copied.copied;
    return {};
}

// After the data: the directory and the names, then the header with the entry count, directory
// offset and name-table length in place; the file is cut where a file left out had run past.
Failure writeTables(File& archive, PodHeader& header, const Tables& tables, std::uint64_t offset) {
    header.entryCount = tables.count();
    header.directoryOffset = static_cast<std::uint32_t>(offset);
    header.namesSize = static_cast<std::uint32_t>(tables.names.size());
    if (!archive.writeAll(tables.directory) || !archive.writeAll(tables.names) ||
        !archive.writeAt(0, encodeHeader(header)))
        return archive.failure();
    if (tables.rewound && !archive.truncate(offset + tables.directory.size() + tables.names.size())) {
        return archive.failure();
    }
    return {};
}

}  // namespace

PodWriter::PodWriter(std::string path, std::int32_t priority, std::string author, std::string description,
                     std::string copyright)
    : path_(std::move(path)),
      author_(std::move(author)),
      description_(std::move(description)),
      copyright_(std::move(copyright)) {
    std::copy(kMagicPod3.begin(), kMagicPod3.end(), header_.magic.begin());
    header_.priority = priority;
    header_.word96 = kHeaderWord96Value;
    header_.word280 = kHeaderWord280Value;
}

PackPlan PodWriter::checkWrite(const std::vector<SourceFile>& files, std::int32_t prefixLength) const {
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

Failure PodWriter::write(std::vector<SourceFile>& files, std::int32_t prefixLength, ProgressSink* progress,
                         WriteObserver& observer) {
    writeOffset_ = 0;
    if (progress != nullptr) progress->setRange(0, static_cast<int>(files.size()));

    // Everything that could make the archive unusable is refused before it is created.
    PackPlan plan = checkWrite(files, prefixLength);
    if (!plan.problems.empty()) {
        const PackProblem& first = plan.problems.front();
        return Failure::system(first.error, packProblemPaths(first));
    }
    convertHeaderText(description_, header_.description);
    convertHeaderText(author_, header_.author);
    convertHeaderText(copyright_, header_.copyright);

    // The archive is built where no one sees it and named only once complete and on disk; a
    // failed write leaves no partial archive behind. Where that is a hidden name (no unnamed
    // files), what a killed run left beside it goes first (create sweeps the folder).
    Result<PendingFile> created = PendingFile::create(path_, UnnamedFile::Allowed);
    if (!created) return created.failure();
    PendingFile& pending = *created;
    File& archive = pending.file();
    auto writeFailed = [&pending](Failure failure) {
        pending.discard();
        return failure;
    };

    // Small files are gathered and written in large pieces by a second thread; the header goes
    // out last.
    if (!archive.seek(kPod3HeaderSize)) return writeFailed(archive.failure());
    GatherBuffer gathered(archive, files.size() >= kThreadedMinimum);
    writeOffset_ = kPod3HeaderSize;
    CopyMethod method;
    Tables tables;
    tables.directory.reserve(files.size() * kDirectoryRecordSize);
    for (std::size_t i = 0; i < files.size(); ++i) {
        // A file that cannot be opened is left out without a step of the progress bar.
        File source = File::openRead(files[i].name);
        if (!source.valid()) {
            observer.incomplete(source.failure());
            continue;
        }
        if (Failure failed = storeFile(files[i], source, plan.storedNames[i], gathered, archive, writeOffset_, tables,
                                       method, observer);
            failed.failed())
            return writeFailed(failed);
        if (progress != nullptr) progress->step();
    }
    if (Failure failed = gathered.flush(); failed.failed()) return writeFailed(failed);
    if (Failure failed = writeTables(archive, header_, tables, writeOffset_); failed.failed())
        return writeFailed(failed);

    Failure published = pending.publish(replaceExisting_ ? Publish::Replace : Publish::NoReplace, Flush::DataAndName);
    if (published.failed() && published.detail != kNamedNotDurable) return published;
    if (published.failed()) {
        // The archive stands complete under its name; only the folder's flush failed.
        Failure notDurable = Failure::ownWords(
            path_, "the archive was written but may not be durable: " + systemErrorText(published.error));
        notDurable.error = published.error;
        observer.incomplete(notDurable);
    }
    return {};
}

}  // namespace quillomar
