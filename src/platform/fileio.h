#pragma once
// Files by descriptor. A File remembers the path it was opened with; a call that fails returns
// its usual failure value (an invalid File, false, -1) and keeps the failure record, with that
// path, for failure().

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace quillomar {

// What a read gave: the count of bytes read (fewer than asked only where the file ended), or -1
// and the failing call's record, naming the file's path.
struct ReadResult {
    std::int64_t count = 0;
    Failure failure;
    bool ok() const { return count >= 0; }
};

class File {
public:
    File() = default;
    // Takes over fd, opened at path; a negative fd makes an invalid File failed with errno.
    File(int fd, std::string path);
    // The same for a descriptor whose path is not needed in messages.
    explicit File(int fd) : File(fd, std::string()) {}
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing regular file for reading; anything else (a folder, a pipe, a device)
    // is refused without waiting on it.
    static File openRead(const std::string& path);
    // Creates a new file for writing; fails with EEXIST when anything exists at path,
    // and never follows a symbolic link there.
    static File createNew(const std::string& path);
    // Creates or truncates a file for writing (an existing file is replaced in place); never
    // follows a symbolic link there.
    static File createAlways(const std::string& path);

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Why the last failing call failed (error number and this file's path).
    const Failure& failure() const { return failure_; }

    // Size in bytes, or the failing call's record naming this file's path (not kept in failure(),
    // so that threads may ask it of one File at once).
    [[nodiscard]] Result<std::uint64_t> size() const;

    // Reads at offset until the buffer is full or the file ends. The failure comes back with the
    // count and is not kept here, so that threads may read through one File at once.
    [[nodiscard]] ReadResult readAt(std::uint64_t offset, std::span<std::byte> buffer) const;
    // Writes every byte at the current position: false on any failure (ENOSPC, EIO, ...).
    [[nodiscard]] bool writeAll(std::span<const std::byte> data);
    // Writes every byte at offset, leaving the current position alone.
    [[nodiscard]] bool writeAt(std::uint64_t offset, std::span<const std::byte> data);
    // Moves the current position to offset.
    [[nodiscard]] bool seek(std::uint64_t offset);
    // Cuts the file (or extends it with zeros) to size bytes; the current position stays.
    [[nodiscard]] bool truncate(std::uint64_t size);
    // Sets the access and modification times.
    [[nodiscard]] bool setTimes(const struct timespec& accessed, const struct timespec& modified);

    // Closes, reporting a failure of the close itself (deferred write errors); idempotent.
    [[nodiscard]] bool close();
    // Closes without looking at the outcome: for a file only read, or one that is being given up.
    void abandon();

private:
    bool fail(int error);

    int fd_ = -1;
    std::string path_;
    Failure failure_;
};

// The standard streams' descriptors, the same on every system.
inline constexpr int kStandardOutputFd = 1;
inline constexpr int kStandardErrorFd = 2;

// Writes every byte to the descriptor, going on after short writes and interruptions: an empty
// record, or the failing call's (EIO when one writes nothing) naming path, which is what the
// descriptor stands for in messages. The one write loop of the program.
[[nodiscard]] Failure writeAllTo(int fd, std::span<const std::byte> data, std::string path);

struct CopyResult {
    std::uint64_t copied = 0;  // bytes that reached the destination
    Failure failure;           // the failing call's record, with the path of the side that failed
    bool readFailed = false;   // the failing call read the source (else it wrote the destination)
};

// Whether the kernel's copy is worth trying. A run of copies shares one, so that once the kernel
// has refused to copy between two file systems no later copy asks it again.
struct CopyMethod {
    bool kernel = true;  // copy_file_range: file to file within a file system
    bool send = true;    // sendfile: where the first is refused, between file systems
};

// Copies up to length bytes of from, starting at fromOffset, to the current position of to, in
// bounded chunks (by the kernel where it can). Without a failure, copied falls short of length
// only when from ended.
[[nodiscard]] CopyResult copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t length,
                                   CopyMethod* method = nullptr);

// Replaces path with data through a temporary file in the same folder, flushed and renamed over
// it, so that readers see the old or the new content and never a part; the rename itself is made
// durable too. An empty record, or the failing call's (the temporary file is then removed).
[[nodiscard]] Failure writeFileAtomically(const std::string& path, std::string_view data, unsigned mode);

// The folder that holds path's last component: "." for a bare name, "/" for a name at the root.
std::string parentFolder(const std::string& path);

// Creates the folder and its missing ancestors ('/' separates), outermost first; folders it
// creates get the given mode. An empty record when the folder exists afterwards, else one naming
// path with ENOTDIR when something else stands there, or the error of the first creation that failed.
[[nodiscard]] Failure createFolders(const std::string& path, unsigned mode = 0777);

// Chunk size of copies made in user space; memory used by a copy never exceeds it.
inline constexpr std::size_t kCopyChunkSize = 1 << 20;

}  // namespace quillomar
