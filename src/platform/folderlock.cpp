#include "platform/folderlock.h"

#include <sys/file.h>

#include <cerrno>

namespace quillomar {

Result<FolderHandle> lockFolder(const std::string& path) {
    Result<FolderHandle> folder = openFolder(path);
    if (!folder) return folder;
    while (::flock(folder->fd(), LOCK_EX) != 0) {
        if (errno != EINTR) return Failure::system(errno, path);
    }
    return folder;
}

}  // namespace quillomar
