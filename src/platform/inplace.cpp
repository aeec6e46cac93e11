#include "platform/inplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace quillomar {

Result<std::string> linkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return Failure::system(errno, path);
    if (!S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return Failure::system(errno, path);
    return std::string(resolved.get());
}

Failure checkFolderWritable(const std::string& folder, const std::string& path) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return Failure::system(errno, path);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return Failure::system(errno, path);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Failure::system(EACCES, path);
    return {};
}

Failure copyPermissions(const std::string& from, File& file) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return Failure::system(errno, from);
    // Owner first: changing it may clear the set-id bits, which the mode then restores.
    struct stat mine {};
    if (::fstat(file.fd(), &mine) == 0 && (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid)) {
        static_cast<void>(::fchown(file.fd(), st.st_uid, st.st_gid));  // only root may give a file away
    }
    if (::fchmod(file.fd(), st.st_mode & 07777) != 0) return Failure::system(errno, from);
    return {};
}

}  // namespace quillomar
