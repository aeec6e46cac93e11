#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/fileio.h"

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

Result<FileStatus> fileStatus(const std::string& path, Links links) {
    struct stat st {};
    if ((links == Links::Followed ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return Failure::system(errno, path);
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

Result<FolderHandle> openFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Failure::system(errno, path);
    return FolderHandle(fd);
}

Result<Subfolder> openSubfolder(int folderFd, const std::string& name, IfMissing ifMissing) {
    Subfolder subfolder;
    if (ifMissing == IfMissing::Create) {
        subfolder.created = ::mkdirat(folderFd, name.c_str(), 0777) == 0;
        if (!subfolder.created && errno != EEXIST) return Failure::system(errno, name);
    }
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Failure::system(errno, name);
    subfolder.folder = FolderHandle(fd);
    return subfolder;
}

void closeFolder(int folderFd) {
    if (folderFd >= 0) ::close(folderFd);
}

bool isReservedName(std::string_view name) {
    static_cast<void>(name);
    return false;
}

Failure removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return Failure::system(errno, path);
    return {};
}

Failure removeEmptyFolder(const std::string& path) {
    if (::rmdir(path.c_str()) != 0) return Failure::system(errno, path);
    return {};
}

bool isReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

Result<std::string> createUniqueFolder(const std::string& prefix) {
    std::string pattern = prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return Failure::system(errno, parentFolder(prefix));
    return pattern;
}

}  // namespace quillomar
