#pragma once
// Output that appears under its final name only when it is complete.
//
// A PendingFile is built under a name no one else sees: an unnamed file (O_TMPFILE) where the
// file system has them and the caller allows it, else a hidden name beside the target,
// ".quillomar-PID-MARK-N" (MARK: the process's start time, as ids are reused), created exclusively. publish() gives it
// its final name in one step, so a reader, a crash or a kill finds either nothing (or the old file) or the whole new
// file.
//
// Hidden names are registered while they exist, so that a signal handler can remove them
// (removeRegisteredTemporaries is async-signal-safe). What a SIGKILL leaves behind carries the
// dead process's id: sweepLeftovers removes such files once their process is gone.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/fileio.h"
#include "platform/filesystem.h"

namespace quillomar {

inline constexpr std::string_view kTemporaryPrefix = ".quillomar-";

// A temporary name of ours is ".quillomar-PID-MARK-N": the process's id, a mark that tells this
// process from a later one given the same id, and a count of the process's temporaries.
std::string temporaryNameFor(unsigned long pid, std::string_view mark, std::uint64_t count);
struct TemporaryOwner {
    unsigned long pid = 0;  // 0: not a temporary name of ours
    std::string_view mark;
};
TemporaryOwner ownerOfTemporaryName(std::string_view name);
// The process that made a temporary-copy folder "archive-PID-MARK-UNIQUE" (see
// temporaryFolderPrefix); pid 0 for any other name.
TemporaryOwner ownerOfTemporaryFolder(std::string_view name);
// This process's mark: its start time where the system tells it (random otherwise).
const std::string& processMark();
// Whether the process pid that made a temporary marked mark has ended: no process has that id,
// or the one that has it started at another time.
bool processEnded(unsigned long pid, std::string_view mark);

// The detail of publish()'s record when the file has its final name but the folder could not be
// flushed after the rename: the file is complete and in place, its name may not survive a crash.
inline constexpr std::string_view kNamedNotDurable = "named, but the folder could not be flushed";

enum class Publish {
    NoReplace,  // fails with EEXIST when anything has taken the final name meanwhile
    Replace,    // replaces an existing regular file that could be written (see checkReplaceable)
};

// Whether the data may live in an unnamed file until publish(): such a file leaves nothing behind
// when the process dies, but cannot be replaced by name, nor named on some file systems.
enum class UnnamedFile { Allowed, Refused };

// What publish() makes sure of before it returns.
enum class Flush {
    DataAndName,  // the data reaches the disk before the rename, and the folder after it
    Nothing,      // left to the system: for output that is cheap to make again
};

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Starts the file that publish() names leaf inside the folder folderFd, which the caller keeps
    // open until then; path is the final file's whole path, the one failures name.
    static Result<PendingFile> create(int folderFd, std::string_view leaf, std::string path, UnnamedFile unnamed);
    // The same for a path; the folder is opened here and kept, and first swept of the hidden
    // temporaries that killed processes left in it (sweepLeftovers).
    static Result<PendingFile> create(const std::string& path, UnnamedFile unnamed);

    bool valid() const { return file_.valid(); }
    File& file() { return file_; }
    // Whether the data lives in an unnamed file (nothing is left on disk if the process dies).
    bool unnamed() const { return unnamed_; }

    // Names the file, flushed as flush says. An empty record, or the failing step's (naming the
    // final path) after removing the temporary.
    [[nodiscard]] Failure publish(Publish how, Flush flush);
    // Drops the file and its temporary name; idempotent.
    void discard();

private:
    int folderFd_ = -1;
    FolderHandle ownedFolder_;  // folderFd_'s owner when the folder was opened here
    bool unnamed_ = false;
    int slot_ = -1;
    std::string leaf_;
    std::string path_;
    std::string temporary_;
    File file_;
};

// Whether what stands at path may be replaced by a new file: an empty record when it may, or when
// nothing is there; else ELOOP for a symbolic link, EISDIR for a folder, EEXIST for anything else
// that is not a regular file, and EACCES (or access's own error) for a file that is read-only -
// judged by its mode bits as well, so that root does not replace a read-only file either.
[[nodiscard]] Failure checkReplaceable(const std::string& path);

// Removes the hidden temporaries of processes of this user that no longer exist from folderFd.
// Returns how many were removed.
std::size_t sweepLeftovers(int folderFd);

// Removes every temporary name this process has registered. Async-signal-safe.
void removeRegisteredTemporaries() noexcept;

// Whether a failure is one that every later file written to the same place would meet too.
bool failsEveryLaterWrite(const Failure& failure);

}  // namespace quillomar
