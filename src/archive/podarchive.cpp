#include "archive/podarchive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "archive/splitpath.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "archive/windowsname.h"
#include "platform/asciicase.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/filesystem.h"
#include "platform/messages.h"  // message ids and formatString only: nothing is shown here
#include "platform/tempdir.h"

namespace quillomar {

namespace {

// Slack allowed beyond 260 bytes a name before the name table is read name by name.
constexpr std::uint64_t kNameTableSlack = 4096;

}  // namespace

PodArchive::PodArchive() = default;

PodArchive::~PodArchive() { close(); }

std::string PodArchive::description() const { return archiveCodePage().toUtf8(headerText(header_.description)); }
std::string PodArchive::author() const { return archiveCodePage().toUtf8(headerText(header_.author)); }
std::string PodArchive::copyright() const { return archiveCodePage().toUtf8(headerText(header_.copyright)); }

// A damaged archive: nothing of it stays loaded.
int PodArchive::refuse(std::string detail, std::uint64_t offset) {
    entries_.clear();
    return fail(Failure::message(kMsgDamagedArchive, path_, std::move(detail), offset));
}

// Keeps failure as the record of the running open() or readDirectory(), for its caller to show.
int PodArchive::fail(Failure failure) {
    failure_ = std::move(failure);
    return 0;
}

int PodArchive::open(const std::string& path) {
    close();
    path_ = path;
    failure_ = {};

    // Only a regular file is opened; a pipe or a device named as an archive cannot hang the program.
    file_ = File::openRead(path);
    if (!file_.valid()) return fail(file_.failure());
    Result<std::uint64_t> size = file_.size();
    if (!size) return fail(size.failure());
    fileSize_ = *size;

    // A file shorter than the header reads as if the missing bytes were 0.
    std::array<std::byte, kPod3HeaderSize> image{};
    if (ReadResult read = file_.readAt(0, std::span(image).first(kPod2HeaderSize)); !read.ok()) {
        return fail(std::move(read.failure));
    }
    std::string_view magic(reinterpret_cast<const char*>(image.data()), 4);
    if (magic == kMagicPod3) {
        if (ReadResult read = file_.readAt(kPod2HeaderSize, std::span(image).subspan(kPod2HeaderSize)); !read.ok()) {
            return fail(std::move(read.failure));
        }
        header_ = decodeHeader(image);
        version_ = ArchiveVersion::Pod3;
    } else if (magic == kMagicPod2) {
        header_ = decodeHeader(image);
        version_ = ArchiveVersion::Pod2;
    } else {
        header_ = decodeHeader(image);
        version_ = ArchiveVersion::None;
        return fail(Failure::message(kMsgNotAnArchive, path));
    }
    if (!checkHeader()) {
        version_ = ArchiveVersion::None;
        return 0;
    }
    return 1;
}

// The header must place the directory, and for POD3 the name table, inside the file.
bool PodArchive::checkHeader() {
    const std::int32_t count = header_.entryCount;
    if (count < 0) return refuse(formatString("negative entry count %d", count), kHeaderEntryCountOffset);
    const std::uint64_t directoryBytes = static_cast<std::uint64_t>(count) * kDirectoryRecordSize;
    std::uint64_t directoryStart = kPod2HeaderSize;
    if (version_ == ArchiveVersion::Pod3) {
        directoryStart = header_.directoryOffset;
        if (directoryStart > fileSize_) {
            return refuse(formatString("directory offset %llu is past the end of the file (%llu bytes)",
                                       static_cast<unsigned long long>(directoryStart),
                                       static_cast<unsigned long long>(fileSize_)),
                          kHeaderDirectoryOffsetOffset);
        }
    }
    if (count > 0 && directoryStart + directoryBytes > fileSize_) {
        return refuse(
            formatString("directory of %d entries at offset %llu ends past the end of the file (%llu bytes)", count,
                         static_cast<unsigned long long>(directoryStart), static_cast<unsigned long long>(fileSize_)),
            directoryStart);
    }
    return true;
}

// The directory's records as read, and where the directory and the name table lie. Buffers are
// left uninitialised: every byte used is read first, and for a large directory touching the
// memory twice costs more than the reads.
struct PodArchive::DirectoryImage {
    std::size_t count = 0;
    std::uint64_t start = 0;        // the directory's offset
    std::uint64_t tableStart = 0;   // the name table's: right after the directory
    std::uint64_t tableLength = 0;  // to the end of the file
    std::uint64_t maxNameOffset = 0;
    std::unique_ptr<std::byte[]> bytes;

    DirectoryRecord record(std::size_t i) const {
        return decodeDirectoryRecord(std::span<const std::byte>(bytes.get(), count * kDirectoryRecordSize)
                                         .subspan(i * kDirectoryRecordSize)
                                         .first<kDirectoryRecordSize>());
    }
};

int PodArchive::readDirectory() {
    entries_.clear();
    largestSize_ = 0;
    totalSize_ = 0;
    failure_ = {};
    if (!file_.valid() || version_ == ArchiveVersion::None) return fail(Failure::system(EBADF, path_));

    // The file may have changed since it was opened: check the header against it as it is now.
    Result<std::uint64_t> size = file_.size();
    if (!size) return fail(size.failure());
    fileSize_ = *size;
    if (!checkHeader()) return 0;

    DirectoryImage image;
    image.count = static_cast<std::size_t>(std::max(header_.entryCount, 0));
    image.start = version_ == ArchiveVersion::Pod3 ? std::uint64_t{header_.directoryOffset} : kPod2HeaderSize;
    image.tableStart = image.start + image.count * kDirectoryRecordSize;
    image.tableLength = fileSize_ - std::min(image.tableStart, fileSize_);
    std::vector<ArchiveEntry> loaded;
    try {
        if (!readRecords(image) || !checkRecords(image) || !loadNames(image, loaded)) return 0;
    } catch (const std::bad_alloc&) {
        return fail(Failure::message(kMsgOutOfMemory, path_));
    }
    keepEntries(std::move(loaded));
    return 1;
}

// The directory, in one read.
bool PodArchive::readRecords(DirectoryImage& image) {
    const std::size_t directoryBytes = image.count * kDirectoryRecordSize;
    image.bytes.reset(new std::byte[directoryBytes]);
    ReadResult read = file_.readAt(image.start, std::span(image.bytes.get(), directoryBytes));
    if (!read.ok()) return fail(std::move(read.failure));
    if (static_cast<std::uint64_t>(read.count) != directoryBytes) {
        return refuse("the directory is cut short", image.start + static_cast<std::uint64_t>(read.count));
    }
    return true;
}

// Every data range and name offset inside the file before anything is loaded.
bool PodArchive::checkRecords(DirectoryImage& image) {
    for (std::size_t i = 0; i < image.count; ++i) {
        const DirectoryRecord r = image.record(i);
        const std::uint64_t start = r.dataOffset;
        const std::uint64_t end = start + r.size;
        if (end > fileSize_) {
            return refuse(
                formatString("entry %zu: data at offset %llu of %llu bytes ends past the end of the "
                             "file (%llu bytes)",
                             i + 1, static_cast<unsigned long long>(start),
                             static_cast<unsigned long long>(end - start), static_cast<unsigned long long>(fileSize_)),
                image.start + i * kDirectoryRecordSize);
        }
        if (r.nameOffset >= image.tableLength) {
            return refuse(formatString("entry %zu: name offset %u is outside the name table (%llu bytes)", i + 1,
                                       r.nameOffset, static_cast<unsigned long long>(image.tableLength)),
                          image.start + i * kDirectoryRecordSize);
        }
        image.maxNameOffset = std::max<std::uint64_t>(image.maxNameOffset, r.nameOffset);
    }
    return true;
}

// Names come from one read of the table while it is no larger than every name at its longest
// could need; a sparser (hostile) table is read name by name instead.
bool PodArchive::loadNames(const DirectoryImage& image, std::vector<ArchiveEntry>& loaded) {
    const std::size_t count = image.count;
    const std::uint64_t needed = count == 0 ? 0 : std::min(image.tableLength, image.maxNameOffset + kNameReadLength);
    const bool wholeTable = needed <= count * kNameReadLength + kNameTableSlack;
    std::unique_ptr<std::byte[]> table;
    if (wholeTable && needed > 0) {
        table.reset(new std::byte[needed]);
        ReadResult read = file_.readAt(image.tableStart, std::span(table.get(), static_cast<std::size_t>(needed)));
        if (!read.ok()) return fail(std::move(read.failure));
        if (static_cast<std::uint64_t>(read.count) != needed) {
            return refuse("the name table is cut short", image.tableStart + static_cast<std::uint64_t>(read.count));
        }
    }
    std::array<std::byte, kNameReadLength> one{};

    loaded.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const DirectoryRecord r = image.record(i);
        const std::uint64_t offset = r.nameOffset;
        const std::size_t available =
            static_cast<std::size_t>(std::min<std::uint64_t>(kNameReadLength, image.tableLength - offset));
        std::span<const std::byte> window;
        if (wholeTable) {
            window = std::span<const std::byte>(table.get() + offset, available);
        } else {
            ReadResult read = file_.readAt(image.tableStart + offset, std::span(one).first(available));
            if (!read.ok()) return fail(std::move(read.failure));
            window = std::span<const std::byte>(one).first(static_cast<std::size_t>(read.count));
        }
        auto nul = std::find(window.begin(), window.end(), std::byte{0});
        if (nul == window.end()) {
            return refuse(formatString("entry %zu: name at offset %llu has no end within %zu bytes", i + 1,
                                       static_cast<unsigned long long>(offset), kNameReadLength),
                          image.tableStart + offset);
        }
        ArchiveEntry& entry = loaded.emplace_back();
        entry.name.assign(reinterpret_cast<const char*>(window.data()), static_cast<std::size_t>(nul - window.begin()));
        entry.size = r.size;
        entry.offset = r.dataOffset;
        entry.time = decodeTimestamp(r.timestamp).value_or(kNoEntryTime);
    }
    return true;
}

// The entries, with the largest size and the total (which wraps at 32 bits). Both figures are
// the signed 32-bit values the packer window has always shown: a size of 2 GiB or more counts
// as negative in them.
void PodArchive::keepEntries(std::vector<ArchiveEntry> loaded) {
    std::uint32_t total = 0;
    for (const ArchiveEntry& entry : loaded) {
        largestSize_ = std::max(largestSize_, static_cast<std::int32_t>(entry.size));
        total += entry.size;
    }
    totalSize_ = static_cast<std::int32_t>(total);
    entries_ = std::move(loaded);
}

void PodArchive::close() {
    file_.abandon();  // only read from
    path_.clear();
    header_ = PodHeader{};
    entries_.clear();
    for (const std::string& copy : tempFiles_) removeFile(copy);  // failures are not reported
    tempFiles_.clear();
    removeTemporaryFolder();
}

ReadResult PodArchive::readEntryData(const ArchiveEntry& entry, std::uint64_t from, std::span<std::byte> buffer) const {
    const std::uint64_t size = entry.size;
    if (from >= size) return {};
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - from));
    return file_.readAt(std::uint64_t{entry.offset} + from, buffer.first(want));
}

CopyResult PodArchive::copyEntryData(const ArchiveEntry& entry, File& out) const {
    return copyRange(file_, entry.offset, out, entry.size);
}

ReadResult PodArchive::readFileBytes(std::uint64_t offset, std::span<std::byte> buffer) const {
    return file_.readAt(offset, buffer);
}

CopyResult PodArchive::copyFileBytes(std::uint64_t offset, std::uint64_t length, File& out, CopyMethod* method) const {
    return copyRange(file_, offset, out, length, method);
}

// Temporary copies ---------------------------------------------------------------------------

// A new folder of this archive's in the user's private temporary folder; each is a sibling of the
// others, so that no stored name can lead from one into another.
Result<std::string> PodArchive::makeArchiveFolder() {
    Result<std::string> base = privateTempFolder();
    if (!base) return base.failure();
    return createUniqueFolder(*base + "/" + temporaryFolderPrefix());
}

Result<std::string> PodArchive::writeTemporaryCopy(const ArchiveEntry& entry) {
    if (!file_.valid()) return Failure::system(EBADF, path_);
    if (tempFolder_.empty()) {
        // What killed runs left here goes first.
        removeTemporaryFolders(TemporaryFoldersOf::EndedProcesses);
        Result<std::string> folder = makeArchiveFolder();
        if (!folder) return folder.failure();
        tempFolder_ = *folder;
    }

    if constexpr (kHostHasWindowsNames) {
        if (std::optional<WindowsNameProblem> problem = findWindowsNameProblem(entry.name)) {
            return Failure::system(EINVAL, tempFolder_ + "/" + storedNameForMessage(entry.name),
                                   describeWindowsNameProblem(*problem));
        }
    }
    std::optional<std::string> relative = safeRelativePath(entry.name);
    if (!relative) return Failure::system(EACCES, tempFolder_ + "/" + storedNameForMessage(entry.name));
    std::string target = kHostHasWindowsNames ? shortCopyPath(entry, *relative) : tempFolder_ + "/" + *relative;
    // The same entry opened again reuses its copy, recorded once.
    if (std::find(tempFiles_.begin(), tempFiles_.end(), target) != tempFiles_.end() && isReadable(target)) {
        return target;
    }

    // The folder is this user's own and closed to others, so its sub-folders are safe to create.
    std::size_t slash = target.rfind('/');
    Result<FolderCreation> folder = createDirectoryPath(target.substr(0, slash));
    if (!folder) return folder.failure();
    File out = File::createAlways(target);
    if (!out.valid()) return out.failure();
    CopyResult copied = copyEntryData(entry, out);
    if (copied.failure.failed() || !out.close()) {
        out.abandon();
        removeFile(target);
        return copied.failure.failed() ? copied.failure : out.failure();
    }
    if (std::find(tempFiles_.begin(), tempFiles_.end(), target) == tempFiles_.end()) tempFiles_.push_back(target);
    return target;
}

std::string PodArchive::shortCopyPath(const ArchiveEntry& entry, const std::string& relative) {
    const bool listed = !entries_.empty() && &entry >= entries_.data() && &entry < entries_.data() + entries_.size();
    const std::size_t position = listed ? static_cast<std::size_t>(&entry - entries_.data()) : entries_.size();
    if (const auto found = copyPaths_.find(position); listed && found != copyPaths_.end()) return found->second;
    const std::string leaf = relative.substr(relative.rfind('/') + 1);  // the whole path when it has no '/'
    std::string key = leaf;
    for (char& c : key) c = asciiUpper(c);  // names equal but for case are one file there
    std::string path = tempFolder_ + "/" + leaf;
    if (leafUses_[key]++ > 0) {
        // A numbered folder of its own, named as no copy is; a later copy of that name then goes
        // into a numbered folder too.
        std::string folder;
        do {
            folder = std::to_string(++numberedFolders_);
        } while (leafUses_.contains(folder));
        leafUses_[folder] = 1;
        path = tempFolder_ + "/" + folder + "/" + leaf;
    }
    if (listed) copyPaths_.emplace(position, path);
    return path;
}

Result<std::string> PodArchive::newTemporaryFolder() {
    if (!file_.valid()) return Failure::system(EBADF, path_);
    Result<std::string> folder = makeArchiveFolder();
    if (!folder) return folder.failure();
    otherTempFolders_.push_back(*folder);
    return *folder;
}

void PodArchive::removeTemporaryFolder() {
    for (const std::string& folder : otherTempFolders_) removeTree(folder);
    otherTempFolders_.clear();
    if (tempFolder_.empty()) return;
    // Only what this archive put there is inside.
    removeTree(tempFolder_);
    tempFolder_.clear();
    copyPaths_.clear();
    leafUses_.clear();
    numberedFolders_ = 0;
}

}  // namespace quillomar
