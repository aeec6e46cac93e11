// The POD3 writer. Layout as written: the 288-byte header, every file's data back to back in
// list order, the directory, then the names. The header is written last, once the entry count,
// the directory offset and the name-table length are known. The archive is built in an unnamed
// (or hidden) file and takes its name only when complete and flushed to disk.

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/outputfile.h"

namespace quillomar {

namespace {

// Files up to this size are read into the gathering buffer, which never holds more than
// kGatherSize bytes; larger ones are copied on their own.
constexpr std::uint64_t kGatherLimit = std::uint64_t{1} << 20;
constexpr std::size_t kGatherSize = std::size_t{4} << 20;

// A header text in the code page; checkWrite has refused one the code page cannot hold.
void convertHeaderText(const std::string& utf8, HeaderText& out) {
    out = makeHeaderText(archiveCodePage().fromUtf8(utf8).value_or(std::string()));
}

// Pending archive bytes, written in pieces of at most kGatherSize; the first bytes may be skipped
// (left as a hole for the header, which is written last).
class GatherBuffer {
public:
    explicit GatherBuffer(File& out) : out_(out) {}

    void skip(std::size_t count) { skip_ = count; }
    // Makes room for count more bytes, writing what is pending when needed; false on a write failure.
    bool reserve(std::size_t count) {
        if (used_ + count > kGatherSize && !flush()) return false;
        if (buffer_.size() < used_ + count)
            buffer_.resize(std::min<std::size_t>(kGatherSize, std::max(used_ + count, 2 * buffer_.size())));
        return true;
    }
    std::span<std::byte> tail(std::size_t count) { return std::span(buffer_).subspan(used_, count); }
    void grow(std::size_t count) { used_ += count; }
    bool flush() {
        if (skip_ != 0) {
            if (::lseek(out_.fd(), static_cast<off_t>(skip_), SEEK_SET) < 0) return false;
            skip_ = 0;
        }
        if (used_ == 0) return true;
        bool ok = out_.writeAll(std::span(buffer_).first(used_));
        used_ = 0;
        return ok;
    }

private:
    File& out_;
    std::vector<std::byte> buffer_;
    std::size_t used_ = 0;
    std::size_t skip_ = 0;
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

    // The archive is built where no one sees it and named only once complete and on disk.
    Result<PendingFile> created = PendingFile::create(path_, true);
    if (!created) return fail(created.failure(), true);
    PendingFile& pending = *created;
    File& archive = pending.file();
    // A failed write leaves no partial archive behind.
    auto writeFailed = [&](int error) {
        pending.discard();
        return fail(Failure::system(error, path_), true);
    };

    // Small files are gathered and written in large pieces; a large one goes straight from its
    // file to the archive, by the kernel where it can. The header goes out last, with the entry
    // count, directory offset and name-table length in place.
    GatherBuffer gathered(archive);
    gathered.skip(kPod3HeaderSize);
    writeOffset_ = kPod3HeaderSize;
    CopyMethod method;

    // Data, in list order. A file that cannot be read is left out of the directory; one that
    // could be read only in part is recorded with the bytes that were stored.
    std::vector<std::byte> directory;
    std::vector<std::byte> names;
    directory.reserve(files.size() * kDirectoryRecordSize);
    std::int32_t stored = 0;
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
            if (!gathered.reserve(file.size)) return writeFailed(errno);
            std::int64_t got = source.readAt(0, gathered.tail(file.size));
            if (got < 0) {
                copied.failure = source.failure();
                copied.readFailed = true;
            } else {
                copied.copied = static_cast<std::uint64_t>(got);
                gathered.grow(copied.copied);
            }
        } else {
            if (!gathered.flush()) return writeFailed(errno);
            copied = copyRange(source, 0, archive, file.size, &method);
        }
        if (copied.failure.failed() && !copied.readFailed) return writeFailed(copied.failure.error);
        if (copied.failure.failed()) {
            skipped(copied.failure);
        } else if (copied.copied < file.size) {
            skipped(Failure::system(ENODATA, file.name));  // the file became shorter since the scan
        }
        source.abandon();  // only read from

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
    if (!gathered.flush()) return writeFailed(errno);

    header_.entryCount = stored;
    header_.directoryOffset = static_cast<std::uint32_t>(writeOffset_);
    header_.namesSize = static_cast<std::uint32_t>(names.size());
    if (!archive.writeAll(directory) || !archive.writeAll(names)) return writeFailed(archive.failure().error);
    if (!archive.writeAt(0, encodeHeader(header_))) return writeFailed(archive.failure().error);

    if (Failure published = pending.publish(replaceExisting_ ? Publish::Replace : Publish::NoReplace, true);
        published.failed()) {
        return fail(published, true);
    }
    // The archive is written; failure() still holds the first source file that was left out or
    // cut short, if any.
    return 1;
}

}  // namespace quillomar
