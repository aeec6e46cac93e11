#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quillomar {

namespace {

FileStatus statusOf(const struct stat& st) {
    FileStatus status;
    if (S_ISREG(st.st_mode)) {
        status.kind = FileKind::Regular;
        status.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = FileKind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
        status.kind = FileKind::Link;
    }
    status.modified = fileTimeFromTimespec(st.st_mtim);
    status.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return status;
}

}  // namespace

std::optional<FileStatus> fileStatus(const std::string& path, bool followLinks) {
    struct stat st {};
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return statusOf(st);
}

FolderListing listFolder(const std::string& path) {
    FolderListing listing;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        listing.error = errno;
        return listing;
    }
    struct stat self {};
    if (::fstat(::dirfd(dir), &self) == 0) listing.self = statusOf(self).id;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // Links are followed; a dangling link keeps its own status.
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, 0) != 0 &&
            ::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (listing.unreachable == 0) listing.unreachable = errno;
            continue;
        }
        listing.items.push_back({std::move(name), statusOf(st)});
    }
    ::closedir(dir);
    return listing;
}

int openFolder(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

int openSubfolder(int folderFd, const std::string& name, bool create, bool& existed) {
    existed = true;
    if (create) {
        existed = ::mkdirat(folderFd, name.c_str(), 0777) != 0;
        if (existed && errno != EEXIST) return -1;
    }
    return ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void closeFolder(int folderFd) {
    if (folderFd >= 0) ::close(folderFd);
}

int duplicateDescriptor(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

bool isReservedName(std::string_view name) {
    static_cast<void>(name);
    return false;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool isReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

std::optional<std::string> createUniqueFolder(const std::string& prefix) {
    std::string pattern = prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    return pattern;
}

}  // namespace quillomar
