#pragma once
// The file system beyond one open File: what a path is, the items of a folder, folder descriptors
// for work below a root that never follows a link out of it, and removal. Paths are UTF-8 with '/'
// separators on every system (Windows accepts '\' as well).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The status of path; followLinks: of what a symbolic link there leads to. nullopt with errno set.
std::optional<FileStatus> fileStatus(const std::string& path, bool followLinks = true);

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

// Opens a folder as the base of the calls below: a descriptor, or -1 with errno set.
int openFolder(const std::string& path);
// Opens the folder name inside folderFd, creating it when create is set and it is missing; never
// through a symbolic link (or junction). existed tells whether it was there before. -1 with errno
// set (ENOTDIR/ELOOP when something else stands there).
int openSubfolder(int folderFd, const std::string& name, bool create, bool& existed);
// Closes a descriptor from openFolder or openSubfolder; -1 is ignored.
void closeFolder(int folderFd);

// A second descriptor of the same open file or folder (for another thread); -1 with errno set.
int duplicateDescriptor(int fd);

// Whether a file name stands for something other than a plain file of that name on this system:
// on Windows a device ("CON", "NUL", "COM1" and the like, with any extension, in any case) or a
// stream of another file ("A:B"); never on POSIX systems.
bool isReservedName(std::string_view name);

// Removes a file; false with errno set.
bool removeFile(const std::string& path);
// Whether this user may read the file at path.
bool isReadable(const std::string& path);
// Creates a new folder with a unique name "prefix" + six characters and returns its path;
// nullopt with errno set.
std::optional<std::string> createUniqueFolder(const std::string& prefix);

}  // namespace quillomar
