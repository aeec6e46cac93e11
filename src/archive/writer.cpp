// The POD3 writer. Layout as written: the 288-byte header, every file's data back to back in
// list order, the directory, then the names. The header goes out first with the directory
// offset and name-table length at 0; the entry count, the directory offset and the name-table
// length are patched last, once the data is in place.

#include <unistd.h>

#include <cerrno>
#include <unordered_set>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "platform/codepage.h"
#include "platform/messages.h"

namespace quillomar {

namespace {

struct PlannedFile {
    SourceFile* source;
    std::string storedName;
};

// A text the code page cannot hold is refused by naming the field.
bool convertHeaderText(const std::string& utf8, const char* field, HeaderText& out) {
    std::optional<std::string> bytes = archiveCodePage().fromUtf8(utf8);
    if (!bytes) {
        showSystemError(EILSEQ, field);
        return false;
    }
    out = makeHeaderText(*bytes);
    return true;
}

}  // namespace

int PodArchive::write(std::vector<SourceFile>& files, std::uint32_t bufferSize, std::int32_t prefixLength,
                      ProgressSink* progress) {
    (void)bufferSize;  // copies go in bounded chunks whatever the largest file is
    if (!forWriting_) return 0;
    writeOffset_ = 0;
    if (progress != nullptr) progress->setRange(0, static_cast<int>(files.size()));

    // Everything that could make the archive unusable is refused before it is created.
    if (!convertHeaderText(description_, "description", header_.description) ||
        !convertHeaderText(author_, "author", header_.author) ||
        !convertHeaderText(copyright_, "copyright", header_.copyright)) {
        return 0;
    }
    std::vector<PlannedFile> plan;
    plan.reserve(files.size());
    std::unordered_set<std::string> storedNames;
    std::uint64_t projected = kPod3HeaderSize;
    for (SourceFile& file : files) {
        const auto prefix = static_cast<std::size_t>(std::max(prefixLength, 0));
        if (file.name.size() <= prefix) {
            showSystemError(EINVAL, file.name);
            return 0;
        }
        StoredNameResult stored = storedNameFromHostPath(std::string_view(file.name).substr(prefix));
        if (!stored.name) {
            showSystemError(stored.error, file.name);
            return 0;
        }
        // Host names that differ only in case are one stored name, and one entry would hide the other.
        if (!storedNames.insert(*stored.name).second) {
            showSystemError(EEXIST, file.name);
            return 0;
        }
        projected += std::max<std::uint64_t>(file.size, file.diskSize) + kDirectoryRecordSize + stored.name->size() + 1;
        plan.push_back({&file, std::move(*stored.name)});
    }
    if (projected > kMaxArchiveSize) {
        showSystemError(EFBIG, path_);
        return 0;
    }

    File archive = File::createNew(path_);
    if (!archive.valid()) {
        showSystemError(path_);
        return 0;
    }
    // A failed write leaves no partial archive behind.
    auto fail = [&](int error) {
        showSystemError(error, path_);
        archive.close();
        ::unlink(path_.c_str());
        return 0;
    };

    header_.entryCount = static_cast<std::int32_t>(files.size());
    header_.directoryOffset = 0;
    header_.namesSize = 0;
    if (!archive.writeAll(encodeHeader(header_))) return fail(errno);
    writeOffset_ = kPod3HeaderSize;

    // Data, in list order. A file that cannot be read is left out of the directory; one that
    // could be read only in part is recorded with the bytes that were stored.
    std::vector<std::byte> directory;
    std::vector<std::byte> names;
    directory.reserve(plan.size() * kDirectoryRecordSize);
    std::int32_t stored = 0;
    for (PlannedFile& item : plan) {
        SourceFile& file = *item.source;
        File source = File::openRead(file.name);
        if (!source.valid()) {
            showSystemError(file.name);
            continue;
        }
        file.offset = static_cast<std::int64_t>(writeOffset_);
        CopyResult copied = copyRange(source, 0, archive, file.size);
        if (copied.error != 0 && !copied.readFailed) return fail(copied.error);
        if (copied.error != 0) {
            showSystemError(copied.error, file.name);
        } else if (copied.copied < file.size) {
            showSystemError(ENODATA, file.name);  // the file became shorter since the scan
        }
        source.close();

        DirectoryRecord record;
        record.nameOffset = static_cast<std::uint32_t>(names.size());
        record.size = static_cast<std::int32_t>(copied.copied);
        record.dataOffset = static_cast<std::int32_t>(static_cast<std::uint32_t>(writeOffset_));
        record.timestamp = encodeTimestamp(file.time);
        directory.resize(directory.size() + kDirectoryRecordSize);
        encodeDirectoryRecord(record, std::span(directory).last<kDirectoryRecordSize>());
        const auto* nameBytes = reinterpret_cast<const std::byte*>(item.storedName.data());
        names.insert(names.end(), nameBytes, nameBytes + item.storedName.size());
        names.push_back(std::byte{0});

        writeOffset_ += copied.copied;
        ++stored;
        if (progress != nullptr) progress->step();
    }

    header_.entryCount = stored;
    header_.directoryOffset = static_cast<std::uint32_t>(writeOffset_);
    header_.namesSize = static_cast<std::uint32_t>(names.size());
    if (!archive.writeAll(directory) || !archive.writeAll(names)) return fail(errno);

    std::array<std::byte, 4> word{};
    storeLe32(word, 0, static_cast<std::uint32_t>(header_.entryCount));
    if (!archive.writeAt(kHeaderEntryCountOffset, word)) return fail(errno);
    storeLe32(word, 0, header_.directoryOffset);
    if (!archive.writeAt(kHeaderDirectoryOffsetOffset, word)) return fail(errno);
    storeLe32(word, 0, header_.namesSize);
    if (!archive.writeAt(kHeaderNamesSizeOffset, word)) return fail(errno);
    if (!archive.close()) {
        int error = errno;
        ::unlink(path_.c_str());
        showSystemError(error, path_);
        return 0;
    }
    return 1;
}

}  // namespace quillomar
