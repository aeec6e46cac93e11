// Extraction below a root folder. The root is taken as the user gave it; below it nothing is
// trusted: a stored name with "..", a leading separator or a drive designator is refused, every
// folder is entered with O_NOFOLLOW relative to its parent, and a file is never written through
// a symbolic link or a hard link that is already there.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "platform/messages.h"

namespace quillomar {

namespace {

// The folder of the previous entry stays open: entries come grouped by folder.
class FolderCache {
public:
    explicit FolderCache(int rootFd) : rootFd_(rootFd) {}
    ~FolderCache() { reset(); }
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    // The descriptor of folder (relative, '/' separators, "" for the root), created as needed;
    // -1 with errno set when a component cannot be created or is no real folder.
    int open(const std::string& folder) {
        if (folder.empty()) return rootFd_;
        if (fd_ >= 0 && folder == folder_) return fd_;
        reset();
        int current = rootFd_;
        std::size_t start = 0;
        while (start < folder.size()) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos) end = folder.size();
            std::string component = folder.substr(start, end - start);
            if (::mkdirat(current, component.c_str(), 0777) != 0 && errno != EEXIST) {
                closeIfOwned(current);
                return -1;
            }
            int next = ::openat(current, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            int error = errno;
            closeIfOwned(current);
            if (next < 0) {
                errno = error;
                return -1;
            }
            current = next;
            start = end + 1;
        }
        fd_ = current;
        folder_ = folder;
        return fd_;
    }

private:
    void closeIfOwned(int fd) const {
        if (fd != rootFd_) ::close(fd);
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        folder_.clear();
    }

    int rootFd_;
    int fd_ = -1;
    std::string folder_;
};

// Creates name in folder for writing. An existing regular file is replaced by a new one (so a
// hard link to a file elsewhere is not written through); a link or anything else is refused.
int createTarget(int folderFd, const char* name) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folderFd, name, kFlags, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
    struct stat st {};
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (S_ISLNK(st.st_mode)) {
        errno = ELOOP;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        return -1;
    }
    // Only a file that could be written in place is replaced: a read-only one stays as it is.
    if (::faccessat(folderFd, name, W_OK, AT_EACCESS) != 0) return -1;
    if (::unlinkat(folderFd, name, 0) != 0) return -1;
    return ::openat(folderFd, name, kFlags, 0666);
}

// 1 when the entry was written whole, 0 after reporting why not.
int extractEntry(const PodArchive& archive, const std::string& root, const ArchiveEntry& entry,
                 FolderCache& folders) {
    std::optional<std::string> relative = safeRelativePath(entry.name);
    if (!relative) {
        showSystemError(EACCES, root + "/" + storedNameForMessage(entry.name));
        return 0;
    }
    const std::string target = root + "/" + *relative;
    std::size_t slash = relative->rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : relative->substr(0, slash);
    std::string leaf = slash == std::string::npos ? *relative : relative->substr(slash + 1);

    int folderFd = folders.open(folder);
    if (folderFd < 0) {
        showSystemError(target);
        return 0;
    }
    File out(createTarget(folderFd, leaf.c_str()));
    if (!out.valid()) {
        showSystemError(target);
        return 0;
    }
    // A file cut short would pass for the whole entry: it is removed and the failure shown.
    auto discard = [&](int error, const std::string& shown) {
        out.close();
        ::unlinkat(folderFd, leaf.c_str(), 0);
        showSystemError(error, shown);
        return 0;
    };
    CopyResult copied = archive.copyEntryData(entry, out);
    if (copied.error != 0) return discard(copied.error, copied.readFailed ? archive.path() : target);
    if (copied.copied < static_cast<std::uint32_t>(entry.size)) {
        return discard(ENODATA, archive.path());  // the archive became shorter since it was read
    }
    if (entry.time != kNoEntryTime) {
        struct timespec times[2] = {timespecFromFileTime(entry.time), timespecFromFileTime(entry.time)};
        ::futimens(out.fd(), times);
    }
    if (!out.close()) return discard(errno, target);
    return 1;
}

}  // namespace

int PodArchive::extractAll(const std::string& root, ProgressSink* progress) {
    std::vector<std::size_t> all(entries_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return extractSelected(root, all, progress);
}

int PodArchive::extractSelected(const std::string& root, const std::vector<std::size_t>& indices,
                                ProgressSink* progress) {
    extracted_ = 0;
    if (indices.empty() || forWriting_) return 1;
    if (progress != nullptr) progress->setRange(0, static_cast<int>(indices.size()));

    File rootFolder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFolder.valid()) {
        showSystemError(root);
        return 0;
    }
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();

    FolderCache folders(rootFolder.fd());
    int result = 1;
    for (std::size_t index : indices) {
        if (index < entries_.size()) {
            if (extractEntry(*this, base, entries_[index], folders) == 1) {
                ++extracted_;
            } else {
                result = 0;
            }
        }
        if (progress != nullptr) progress->step();
    }
    return result;
}

}  // namespace quillomar
