#pragma once
// The file system beyond one open File: what a path is, the items of a folder, folder descriptors
// for work below a root that never follows a link out of it, and removal. Paths are UTF-8 with '/'
// separators on every system (Windows accepts '\' as well).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/filetime.h"

namespace quillomar {

enum class FileKind {
    Regular,
    Folder,
    Link,   // a symbolic link whose target cannot be reached (only when links are followed)
    Other,  // pipe, socket, device
};

// What tells two names of the same file or folder apart from names of different ones: the
// device (volume) and the file's number on it.
using FileId = std::pair<std::uint64_t, std::uint64_t>;

struct FileStatus {
    FileKind kind = FileKind::Other;
    std::uint64_t size = 0;  // bytes, for a regular file
    FileTime modified = 0;
    FileId id{};
};

// Whether a status of a symbolic link (a junction on Windows) is of what it leads to.
enum class Links { Followed, NotFollowed };

// The status of path (with Links::NotFollowed, of a link standing there). A failure names path.
Result<FileStatus> fileStatus(const std::string& path, Links links = Links::Followed);

struct FolderItem {
    std::string name;
    FileStatus status;  // links followed; a link that leads nowhere has kind Link
};

struct FolderListing {
    int error = 0;                  // why the folder could not be listed (nothing else is set then)
    FileId self{};                  // the folder's own id
    int unreachable = 0;            // why some item could not be examined (it is left out), 0 when none
    std::vector<FolderItem> items;  // in no particular order, without "." and ".."
};

FolderListing listFolder(const std::string& path);

// Closes a folder descriptor; -1 is ignored.
void closeFolder(int folderFd);

// An open folder, the base of work below it: its descriptor is closed with this object.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(int fd) : fd_(fd) {}
    ~FolderHandle() { closeFolder(fd_); }
    FolderHandle(FolderHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept {
        if (this != &other) {
            closeFolder(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Hands the descriptor over to the caller, who closes it with closeFolder.
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// Opens a folder by its path. A failure names path.
Result<FolderHandle> openFolder(const std::string& path);

// What openSubfolder does when the folder is not there.
enum class IfMissing {
    Fail,    // fails with ENOENT
    Create,  // creates it
};

struct Subfolder {
    FolderHandle folder;
    bool created = false;  // made by this call: it holds nothing yet
};

// Opens the folder name inside folderFd, never through a symbolic link (or junction). A failure
// names name, with ENOTDIR or ELOOP when something else stands there.
Result<Subfolder> openSubfolder(int folderFd, const std::string& name, IfMissing ifMissing);

// Whether a file name stands for something other than a plain file of that name on this system:
// on Windows a device ("CON", "NUL", "COM1" and the like, with any extension, in any case) or a
// stream of another file ("A:B"); never on POSIX systems.
bool isReservedName(std::string_view name);

// Removes a file. An empty record, or one naming path.
Failure removeFile(const std::string& path);
// Removes a folder that holds nothing. An empty record, or one naming path (ENOTEMPTY, or
// EEXIST on some systems, while anything is in it).
Failure removeEmptyFolder(const std::string& path);
// Whether this user may read the file at path.
bool isReadable(const std::string& path);
// Creates a new folder with a unique name "prefix" + six characters and returns its path. A
// failure names the folder it was to be made in.
Result<std::string> createUniqueFolder(const std::string& prefix);

}  // namespace quillomar
