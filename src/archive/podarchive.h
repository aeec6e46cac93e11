#pragma once
// One archive opened for reading (PodWriter in podwriter.h builds new ones).
//
// open() recognises the generation and reads the header; readDirectory() loads the entries (one
// read for the records, one for the name table) after checking that every part of the archive
// lies inside the file. The file stays open for entry reads until close().
//
// The reader shows nothing to the user. open() and readDirectory() answer 1 or 0, as the packer
// window branches on them, and keep the record of what failed for failure(); every other
// operation returns its record (Failure, Result<T>), and extraction hands each entry's failure to
// the observer its caller passes in. The caller decides what the user sees.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/entry.h"
#include "archive/podformat.h"
#include "platform/fileio.h"
#include "platform/progress.h"

namespace quillomar {

enum class ArchiveVersion : std::int32_t { None = -1, Pod2 = 2, Pod3 = 3 };

// The names extraction gives the folders and files it creates: as stored, or lower-cased in the
// archive code page (CAFÉ.TXT -> café.txt).
enum class ExtractedNames { AsStored, LowerCase };

// What an extraction tells its caller, who decides what the user sees. Every call comes on the
// thread that called the extraction, in entry order for each kind.
// How an entry replaced by a later one is named to the user, before the entry's name.
inline constexpr std::string_view kWrittenOverText = "written over by a later entry: ";

// "N of M entries not extracted", in the user's language.
std::string notExtractedText(std::size_t notExtracted, std::size_t total);

class ExtractionObserver {
public:
    virtual ~ExtractionObserver() = default;
    // Before anything is written: the entries write total bytes, more than kLargeOutputFactor
    // times the archive's archiveBytes (entries that share their data). The extraction goes on.
    virtual void largeOutput(std::uint64_t total, std::uint64_t archiveBytes) = 0;
    // An entry refused or not written: the record names its path and says why.
    virtual void failed(const Failure& failure) = 0;
    // The entry at this position of entries() was written whole, then replaced on disk by a
    // later entry landing on the same path (the later one wins, as it always has).
    virtual void overwritten(std::size_t entry) = 0;
    // A failure every later write would meet too stopped the extraction; notExtracted of total
    // entries were neither written nor reported on their own.
    virtual void stopped(const Failure& failure, std::size_t notExtracted, std::size_t total) = 0;
};

// What an extraction did: what its caller shows once it has returned.
struct Extracted {
    std::size_t files = 0;        // entries written whole
    std::size_t overwritten = 0;  // of those, entries a later entry then wrote over
    // The first entry that failed (already handed to the observer), or the failure that stopped
    // the extraction, its path followed by the count not extracted; empty when every entry landed.
    Failure firstFailure;
    bool complete() const { return !firstFailure.failed(); }
};

class PodArchive {
public:
    // Empty, no version.
    PodArchive();
    ~PodArchive();
    PodArchive(const PodArchive&) = delete;
    PodArchive& operator=(const PodArchive&) = delete;

    // Closes what was open, then opens path: 1 for a POD2 or POD3 archive whose header is
    // consistent with the file, else 0 with failure() holding message 103 for another file, 111
    // for a damaged one, or the system's error for a file that cannot be opened or read.
    [[nodiscard]] int open(const std::string& path);
    // Loads entries, largestSize and totalSize: 1 when read, else 0 (nothing is loaded) with
    // failure() holding message 111 when any record, name or data range does not fit the file,
    // 101 when memory runs out, or the system's error when the file cannot be read (EBADF when no
    // archive is open).
    [[nodiscard]] int readDirectory();
    // Closes the file, clears header, path and entries, deletes the temporary copies.
    void close();
    // Closes only the file, for a caller that replaces it where an open file cannot be replaced:
    // header, path and entries stay, entry reads fail until open() is called again.
    void closeFile() { file_.abandon(); }

    // Extracts every entry below root (an existing folder), with folders and times. Unsafe names
    // (and on Windows the names it cannot keep) are refused and nothing is written outside root;
    // no symbolic link inside root is followed. Each entry refused or not written, each entry
    // written over by a later one and a warning about the size go to observer as they happen.
    // A failure when root cannot be used (nothing is written), else what was done.
    [[nodiscard]] Result<Extracted> extractAll(const std::string& root, ExtractionObserver& observer,
                                               ProgressSink* progress);
    // The same for the entries at the given positions of entries(), in that order.
    [[nodiscard]] Result<Extracted> extractSelected(const std::string& root, const std::vector<std::size_t>& indices,
                                                    ExtractionObserver& observer, ProgressSink* progress,
                                                    ExtractedNames names = ExtractedNames::AsStored);

    // The file half of opening one entry: writes the entry into this archive's private temporary
    // folder (its stored folders kept; on Windows, whose paths must stay short, by its leaf name,
    // in a numbered sub-folder when another entry has taken that name) and records it in
    // tempFiles once. The copy's path, or why no copy could be made.
    [[nodiscard]] Result<std::string> writeTemporaryCopy(const ArchiveEntry& entry);
    // A new empty folder of this user's, private to this archive and apart from its temporary
    // copies, removed with everything in it by close(); or why none was made.
    [[nodiscard]] Result<std::string> newTemporaryFolder();

    const PodHeader& header() const { return header_; }
    ArchiveVersion version() const { return version_; }
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

    // Header texts as UTF-8.
    std::string description() const;
    std::string author() const;
    std::string copyright() const;

    // Why the last open() or readDirectory() answered 0: empty after one that answered 1. After
    // a damaged archive was refused, its detail and offset say what is wrong and where.
    const Failure& failure() const { return failure_; }

    // Reads an entry's bytes [from, from + buffer size) into buffer: the count read, or -1 and why.
    [[nodiscard]] ReadResult readEntryData(const ArchiveEntry& entry, std::uint64_t from,
                                           std::span<std::byte> buffer) const;
    // Copies an entry's data to the current position of out.
    [[nodiscard]] CopyResult copyEntryData(const ArchiveEntry& entry, File& out) const;
    // Reads the archive file's bytes [offset, offset + buffer size), whatever they belong to: the
    // count read (less at the end of the file), or -1 with the failure.
    [[nodiscard]] ReadResult readFileBytes(std::uint64_t offset, std::span<std::byte> buffer) const;
    // Copies length bytes of the archive file from offset to the current position of out, by the
    // kernel where it can (see copyRange).
    [[nodiscard]] CopyResult copyFileBytes(std::uint64_t offset, std::uint64_t length, File& out,
                                           CopyMethod* method) const;

private:
    // readDirectory's steps; each answers false after keeping the failure.
    struct DirectoryImage;
    int refuse(std::string detail, std::uint64_t offset);
    int fail(Failure failure);
    bool checkHeader();
    bool readRecords(DirectoryImage& image);
    bool checkRecords(DirectoryImage& image);
    bool loadNames(const DirectoryImage& image, std::vector<ArchiveEntry>& loaded);
    void keepEntries(std::vector<ArchiveEntry> loaded);

    void removeTemporaryFolder();
    static Result<std::string> makeArchiveFolder();
    std::string shortCopyPath(const ArchiveEntry& entry, const std::string& relative);

    PodHeader header_{};
    std::uint64_t fileSize_ = 0;
    std::string path_;
    File file_;
    ArchiveVersion version_ = ArchiveVersion::None;
    std::vector<ArchiveEntry> entries_;
    std::vector<std::string> tempFiles_;
    std::int32_t largestSize_ = 0;
    std::int32_t totalSize_ = 0;

    Failure failure_;
    std::string tempFolder_;                     // this archive's private temporary sub-folder, once made
    std::vector<std::string> otherTempFolders_;  // the folders newTemporaryFolder made
    // Short copy paths: each entry's (by position), and how many entries took each leaf name.
    std::unordered_map<std::size_t, std::string> copyPaths_;
    std::unordered_map<std::string, std::size_t> leafUses_;
    std::size_t numberedFolders_ = 0;
};

}  // namespace quillomar
