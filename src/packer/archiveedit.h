#pragma once
// An edit of an opened archive: entries added, replaced, removed and renamed, header fields
// changed, written as a new POD3 archive that takes the old one's place only once it is complete
// and on disk. The old archive is never changed: a failure or a kill at any moment leaves it whole.
//
// The edit borrows the source archive (opened, directory read), which must stay open and
// unchanged until write() returns. The calls that describe the edit only record it (add() also
// looks at the host file or scans the folder); plan() says what would change and every reason
// the edit cannot be written, and write() writes it when there is none.
//
// Order of the result. When the source's entries stand in the order pack writes them (the scan's:
// depth first, each folder's names in NTFS listing order), the result keeps that order: an added
// or renamed entry lands where pack puts it, and the result is byte for byte what pack writes
// from the folder changed the same way with the same header fields. Otherwise every entry of the
// source keeps its place (a replaced or renamed one too) and added entries follow the last one,
// among themselves in pack's order.
//
// Names. Entries are chosen by their position in source.entries(). New names are given as a host
// path relative to the archive's top ("ART/f1.pbm", "" for the top itself), upper-cased and
// stored with '\' as pack stores them; rename() and renameFolder() also take '\' between
// folders, as a user types a stored name. An added file whose stored name equals an entry's
// (case ignored in the code page) replaces that entry's data and keeps its name as stored.
//
// Sizes: at most 2 GiB - 1 bytes of archive, each file under 4 GiB. Only POD3 is written: a POD2
// source is edited into another file (setOutput) only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/podarchive.h"
#include "platform/failure.h"
#include "platform/progress.h"

namespace quillomar {

class PendingFile;

// One change an edit makes to the entries.
struct EditChange {
    enum class Kind { Added, Replaced, Removed, Renamed };
    Kind kind = Kind::Added;
    std::string name;      // stored name (code-page bytes, '\'): in the result; for Removed, in the source
    std::string oldName;   // Renamed: the stored name it had
    std::string hostPath;  // Added, Replaced: the file whose bytes are stored
};

// What write() would do, found without writing anything.
struct EditPlan {
    // Removals in the source's order, then the entries added, replaced or renamed in the
    // result's order.
    std::vector<EditChange> changes;
    std::size_t added = 0;
    std::size_t replaced = 0;
    std::size_t removed = 0;
    std::size_t renamed = 0;
    bool headerChanged = false;     // a header field differs from the source's (or the source is POD2)
    std::size_t entryCount = 0;     // entries of the result
    std::uint64_t archiveSize = 0;  // bytes of the result
    // Every reason write() refuses the edit, in the order of the calls that caused them: the
    // error number the system-error box shows, the path concerned (a second one after "\n==> "
    // for a clash), and what is wrong in a few words in detail. Empty: the edit can be written.
    std::vector<Failure> problems;

    bool writable() const { return problems.empty(); }
    bool changesAnything() const { return !changes.empty() || headerChanged; }
};

class ArchiveEdit {
public:
    // source: opened and its directory read, kept open and unchanged until write() returns.
    explicit ArchiveEdit(const PodArchive& source);
    // The same for a source that write() may close just before the new archive takes its name,
    // where the system cannot rename over an open file (Windows); when that last step fails, the
    // source is opened and read again. Either way, open it again after a successful write.
    explicit ArchiveEdit(PodArchive& source);
    ~ArchiveEdit();
    ArchiveEdit(const ArchiveEdit&) = delete;
    ArchiveEdit& operator=(const ArchiveEdit&) = delete;

    // Where write() puts the result: a new file at path (nothing may exist there), or, with "" (the
    // default), the source's own path: the file the source is, behind any symbolic links, which
    // stay as they are.
    void setOutput(std::string path);

    // hostPath: a file, stored as relativeName; or a folder, each file below it stored as
    // relativeName, '/', its path below the folder ("" puts them at the top). Times are the files'
    // modification times, as pack takes them. A path that cannot be read, or a folder below it that
    // cannot be listed, is a problem of the plan.
    void add(const std::string& hostPath, const std::string& relativeName);
    // Leaves the entry out of the result. Any later add() of its name adds a new entry.
    void remove(std::size_t entryIndex);
    // Gives the entry a new name.
    void rename(std::size_t entryIndex, const std::string& newName);
    // Gives every entry below the folder (as typed: any case, '/' or '\') the new folder's name
    // instead; the folder must hold at least one entry.
    void renameFolder(const std::string& folder, const std::string& newFolder);

    // Header fields; the texts are UTF-8. Fields not set keep the source's (pack's presets for
    // what a POD2 header lacks: author, copyright, priority).
    void setDescription(std::string text);
    void setAuthor(std::string text);
    void setCopyright(std::string text);
    void setPriority(std::int32_t priority);

    // What write() would do and every reason it would refuse. Touches nothing.
    EditPlan plan() const;

    // Writes the result: the header, every entry's data in the result's order (unchanged entries'
    // bytes straight from the source by the kernel where it can), the directory and the names;
    // flushes it, gives it the archive's mode, and only then gives it its name. Progress runs from
    // 0 to the result's entry count. An empty record when written; else the first problem of the
    // plan, or what failed while writing (the source archive and any file at the output path are
    // then as they were). After a write in place the source still reads the old archive: open it
    // again to see the new one. An edit made on a non-const source closes it just before the
    // result takes its name where an open file cannot be replaced (Windows), and reads it again
    // when that last step fails.
    [[nodiscard]] Failure write(ProgressSink* progress);

    // The file write() writes: the output path, or for an edit in place the source's path with
    // symbolic links followed.
    std::string targetPath() const;

private:
    struct State;
    struct Destination;
    struct Layout;
    class Planner;
    Destination destination() const;
    Layout layout() const;
    // write()'s steps.
    Result<std::vector<std::byte>> readSourceRecords() const;
    Failure writeResult(const Layout& layout, std::span<const std::byte> records, File& out,
                        ProgressSink* progress) const;
    Failure publish(PendingFile& pending, const Destination& destination);

    const PodArchive& source_;
    PodArchive* closable_ = nullptr;  // the source, when write() may close it
    std::unique_ptr<State> state_;
};

}  // namespace quillomar
