#pragma once
// One archive, opened for reading or built for writing.
//
// Reading: open() recognises the generation and reads the header; readDirectory() loads the
// entries (one read for the records, one for the name table) after checking that every part
// of the archive lies inside the file. The file stays open for entry reads until close().
// Writing: the writing constructor takes the header texts; write() builds a POD3 archive.
//
// Operations return 1 for success and 0 for failure, after reporting the failure through the
// message routines themselves where the user is told (failures the window passes over in
// silence, such as a file that cannot be opened at all, are only recorded). Either way the
// operation keeps the record of what failed for failure().

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/packcheck.h"
#include "archive/podformat.h"
#include "platform/fileio.h"
#include "platform/progress.h"

namespace quillomar {

enum class ArchiveVersion : std::int32_t { None = -1, Pod2 = 2, Pod3 = 3 };

// The names extraction gives the folders and files it creates: as stored, or lower-cased in the
// archive code page (CAFÉ.TXT -> café.txt).
enum class ExtractedNames { AsStored, LowerCase };

class PodArchive {
public:
    // A reading object: empty, no version.
    PodArchive();
    // A writing object for a new POD3 archive at path. The texts are UTF-8; each is stored as at
    // most 79 bytes in the archive code page. write() refuses texts the code page cannot hold.
    PodArchive(std::string path, std::int32_t priority, std::string author, std::string description,
               std::string copyright);
    ~PodArchive();
    PodArchive(const PodArchive&) = delete;
    PodArchive& operator=(const PodArchive&) = delete;

    // Closes what was open, then opens path: 1 for a POD2 or POD3 archive whose header is
    // consistent with the file. Message 103 for another file, 111 for a damaged one; nothing
    // when the file cannot be opened.
    [[nodiscard]] int open(const std::string& path);
    // Loads entries, largestSize and totalSize: 1 when read. Message 111 when any record, name
    // or data range does not fit the file (nothing is loaded then), 101 when memory runs out.
    [[nodiscard]] int readDirectory();
    // Closes the file, clears header, path and entries, deletes the temporary copies.
    void close();

    // Writes the POD3 archive for files (host paths; the first prefixLength bytes of each are the
    // packed folder and its separator). Never replaces an existing file; refuses names and texts
    // the archive cannot hold and archives over 2 GiB - 1 bytes before creating anything; on a
    // write failure removes what it wrote. A source file that cannot be read is reported and left
    // out. Sets each written file's offset. bufferSize bounds the copy chunk. 1 when the archive
    // was written, 0 when no archive was left.
    [[nodiscard]] int write(std::vector<SourceFile>& files, std::uint32_t bufferSize, std::int32_t prefixLength,
                            ProgressSink* progress);
    // Every reason write() would refuse files before creating the archive, without reporting
    // any: header texts the code page cannot hold, then planPack's problems. write() reports
    // the first; a caller that wants all of them reports them itself.
    PackPlan checkWrite(const std::vector<SourceFile>& files, std::int32_t prefixLength) const;
    // Writing only: let write() replace an existing archive (a regular file that could be
    // written), once the new one is complete. Off by default: an existing file is kept.
    void setReplaceExisting(bool replace) { replaceExisting_ = replace; }

    // Extracts every entry below root (an existing folder), with folders and times. Unsafe names
    // are refused and nothing is written outside root; no symbolic link inside root is followed.
    // 0 when any entry failed (each reported), else 1.
    [[nodiscard]] int extractAll(const std::string& root, ProgressSink* progress);
    // The same for the entries at the given positions of entries(), in that order.
    [[nodiscard]] int extractSelected(const std::string& root, const std::vector<std::size_t>& indices,
                                      ProgressSink* progress, ExtractedNames names = ExtractedNames::AsStored);
    // How many files the last extractAll or extractSelected wrote whole.
    std::size_t extractedCount() const { return extracted_; }

    // The file half of opening one entry: writes the entry into this archive's private temporary
    // folder (its stored folders kept) and records it in tempFiles once. Returns the copy's path,
    // or nullopt after reporting why no copy could be made (kept in failure()).
    [[nodiscard]] std::optional<std::string> writeTemporaryCopy(const ArchiveEntry& entry);
    // A new empty folder of this user's, private to this archive and apart from its temporary
    // copies, removed with everything in it by close(). nullopt after reporting why none was made
    // (kept in failure()).
    [[nodiscard]] std::optional<std::string> newTemporaryFolder();

    const PodHeader& header() const { return header_; }
    ArchiveVersion version() const { return version_; }
    bool forWriting() const { return forWriting_; }
    const std::string& path() const { return path_; }
    std::uint32_t fileSize() const { return static_cast<std::uint32_t>(fileSize_); }
    // The whole length of the opened file; fileSize() keeps the low 32 bits the format counts in.
    std::uint64_t fileBytes() const { return fileSize_; }
    const std::vector<ArchiveEntry>& entries() const { return entries_; }
    std::int32_t largestSize() const { return largestSize_; }
    std::int32_t totalSize() const { return totalSize_; }
    const std::vector<std::string>& tempFiles() const { return tempFiles_; }
    // The opened archive file, for readers that go to the entries' bytes themselves.
    const File& file() const { return file_; }
    std::uint64_t writeOffset() const { return writeOffset_; }

    // Header texts as UTF-8.
    std::string description() const;
    std::string author() const;
    std::string copyright() const;

    // Why the last operation failed or left something undone: empty when it did everything.
    // After open or readDirectory refused a damaged archive, its detail and offset say what is
    // wrong and where. Operations that go on after a failure (write, extraction) keep the first.
    const Failure& failure() const { return failure_; }

    // Reads an entry's bytes [from, from + buffer size) into buffer: the count read, or -1.
    [[nodiscard]] std::int64_t readEntryData(const ArchiveEntry& entry, std::uint64_t from,
                                             std::span<std::byte> buffer) const;
    // Copies an entry's data to the current position of out.
    [[nodiscard]] CopyResult copyEntryData(const ArchiveEntry& entry, File& out) const;
    // Reads the archive file's bytes [offset, offset + buffer size), whatever they belong to: the
    // count read (less at the end of the file), or -1.
    [[nodiscard]] std::int64_t readFileBytes(std::uint64_t offset, std::span<std::byte> buffer) const;
    // Copies length bytes of the archive file from offset to the current position of out, by the
    // kernel where it can (see copyRange).
    [[nodiscard]] CopyResult copyFileBytes(std::uint64_t offset, std::uint64_t length, File& out,
                                           CopyMethod* method) const;

private:
    bool refuse(std::string detail, std::uint64_t offset);
    int fail(Failure failure, bool show);
    void noteFailure(const Failure& failure);
    bool checkHeader();
    void removeTemporaryFolder();
    static Result<std::string> makeArchiveFolder();

    PodHeader header_{};
    std::uint64_t writeOffset_ = 0;
    std::uint64_t fileSize_ = 0;
    std::string path_;
    bool forWriting_ = false;
    File file_;
    ArchiveVersion version_ = ArchiveVersion::None;
    std::vector<ArchiveEntry> entries_;
    std::vector<std::string> tempFiles_;
    std::int32_t largestSize_ = 0;
    std::int32_t totalSize_ = 0;

    // Writing only: the header texts as given, converted by write().
    std::string author_, description_, copyright_;
    mutable Failure failure_;  // entry reads, though const, record their failure too
    bool replaceExisting_ = false;
    std::string tempFolder_;                     // this archive's private temporary sub-folder, once made
    std::vector<std::string> otherTempFolders_;  // the folders newTemporaryFolder made
    std::size_t extracted_ = 0;
};

}  // namespace quillomar
