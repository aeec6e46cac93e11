#include "platform/outputfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <utility>

#include "platform/signalsafetable.h"
#include "platform/temporarycreation.h"

namespace quillomar {

namespace {

// The registered temporaries, by folder descriptor and name, for a signal handler to remove.
constexpr std::size_t kSlotNameSize = 64;

struct Temporary {
    int folderFd = -1;
    char name[kSlotNameSize] = {};
};

SignalSafeTable<Temporary, 32> temporaries;
std::atomic<std::uint64_t> temporaryCounter{0};

int registerTemporary(int folderFd, const std::string& name) {
    if (name.size() >= kSlotNameSize) return -1;
    // When every slot is taken the name is left to the next run's sweep.
    return temporaries.add([&](Temporary& slot) {
        slot.folderFd = folderFd;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
    });
}

void unregisterTemporary(int& slot) { temporaries.remove(slot); }

std::string temporaryName() {
    return temporaryNameFor(static_cast<unsigned long>(::getpid()), processMark(),
                            temporaryCounter.fetch_add(1, std::memory_order_relaxed));
}

// Why an existing entry leaf in folderFd may not be replaced (see checkReplaceable), ENOENT when
// nothing is there, or 0.
int replaceError(int folderFd, const char* leaf) {
    struct stat st {};
    if (::fstatat(folderFd, leaf, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISLNK(st.st_mode)) return ELOOP;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EEXIST;
    // A read-only file stays as it is, for every user: access() alone would let root through.
    if (::faccessat(folderFd, leaf, W_OK, AT_EACCESS) != 0) return errno;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    return 0;
}

// Gives the unnamed file fd the name leaf in folderFd (never replacing): 0, or -1 with errno set.
// By the descriptor itself (AT_EMPTY_PATH) where the kernel lets its opener do that, else through
// /proc; once the first way has been refused, later files take the second at once.
int linkUnnamed(int fd, int folderFd, const char* leaf) {
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folderFd, leaf, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM) return -1;
        byDescriptor.store(false, std::memory_order_relaxed);
    }
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, folderFd, leaf, AT_SYMLINK_FOLLOW);
}

}  // namespace

// When process pid started, in clock ticks since boot, as hex ("" when it cannot be read: no such
// process, or no /proc). A process id is reused, its start time with it never.
static std::string startTimeOf(pid_t pid) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    File stat(::open(path, O_RDONLY | O_CLOEXEC), path);
    char text[1024];
    std::int64_t got =
        stat.valid() ? stat.readAt(0, std::as_writable_bytes(std::span(text, sizeof text - 1))).count : -1;
    if (got <= 0) return {};
    text[got] = '\0';
    // The command name may hold anything but ends at the last ')'; the start time is the 20th field after it.
    const char* field = std::strrchr(text, ')');
    for (int i = 0; field != nullptr && i < 20; ++i) field = std::strchr(field + 1, ' ');
    if (field == nullptr) return {};
    unsigned long long ticks = std::strtoull(field + 1, nullptr, 10);
    char hex[24];
    std::snprintf(hex, sizeof hex, "%llx", ticks);
    return hex;
}

// This process's mark in its temporary names: its start time, so that a file of a killed process
// whose id has been reused is still known for a dead one's. Random where /proc cannot be read.
const std::string& processMark() {
    static const std::string mark = [] {
        std::string started = startTimeOf(::getpid());
        if (!started.empty()) return started;
        std::uint32_t bits = 0;
        if (const auto* random = reinterpret_cast<const unsigned char*>(::getauxval(AT_RANDOM))) {
            std::memcpy(&bits, random + 8, sizeof bits);
        }
        char text[12];
        std::snprintf(text, sizeof text, "r%08x", bits);
        return std::string(text);
    }();
    return mark;
}

// Whether the process that made a temporary has ended: no process has its id, or the one that
// has it started at another time than the name records.
bool processEnded(unsigned long pid, std::string_view mark) {
    if (pid == static_cast<unsigned long>(::getpid())) return mark != processMark();
    std::string started = startTimeOf(static_cast<pid_t>(pid));
    if (!started.empty()) return started != mark;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void removeRegisteredTemporaries() noexcept {
    temporaries.forEachPublished([](const Temporary& temporary) { ::unlinkat(temporary.folderFd, temporary.name, 0); });
}

bool failsEveryLaterWrite(const Failure& failure) {
    return failure.error == ENOSPC || failure.error == EDQUOT || failure.error == EROFS;
}

Failure checkReplaceable(const std::string& path) {
    const std::string folder = parentFolder(path);
    const std::string leaf = path.substr(path.rfind('/') + 1);  // the whole path when it has no '/'
    File folderFile(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path);
    if (!folderFile.valid()) return folderFile.failure();
    const int error = replaceError(folderFile.fd(), leaf.c_str());
    return error == 0 || error == ENOENT ? Failure() : Failure::system(error, path);
}

std::size_t sweepLeftovers(int folderFd) {
    int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* folder = ::fdopendir(fd);
    if (folder == nullptr) {
        ::close(fd);
        return 0;
    }
    const uid_t me = ::getuid();
    std::size_t removed = 0;
    while (const dirent* item = ::readdir(folder)) {
        const TemporaryOwner owner = ownerOfTemporaryName(item->d_name);
        if (owner.pid == 0 || owner.pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) continue;
        // Ours only: a regular file of this user whose process is gone.
        struct stat st {};
        if (::fstatat(fd, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != me) continue;
        if (!processEnded(owner.pid, owner.mark)) continue;
        if (::unlinkat(fd, item->d_name, 0) == 0) ++removed;
    }
    ::closedir(folder);
    return removed;
}

Result<PendingFile> PendingFile::create(int folderFd, std::string_view leaf, std::string path, UnnamedFile unnamed) {
    PendingFile pending;
    pending.folderFd_ = folderFd;
    pending.leaf_ = leaf;
    pending.path_ = std::move(path);
    if (unnamed == UnnamedFile::Allowed) {
        pending.file_ = File(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666), pending.path_);
        if (pending.file_.valid()) {
            pending.unnamed_ = true;
            return Result<PendingFile>(std::move(pending));
        }
        // No unnamed files on this file system: a hidden name does the same, minus the cleanup
        // the kernel does for an unnamed file when the process dies.
    }
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        std::string name = temporaryName();
        // Registered before it exists, so that no moment passes in which a signal would leave it.
        const TemporaryCreation section;
        pending.slot_ = registerTemporary(folderFd, name);
        pending.file_ =
            File(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666),
                 pending.path_);
        if (pending.file_.valid()) {
            pending.temporary_ = std::move(name);
            return Result<PendingFile>(std::move(pending));
        }
        error = pending.file_.failure().error;
        unregisterTemporary(pending.slot_);
    }
    return Failure::system(error, pending.path_);
}

Result<PendingFile> PendingFile::create(const std::string& path, UnnamedFile unnamed) {
    const std::string folder = parentFolder(path);
    const std::string leaf = path.substr(path.rfind('/') + 1);  // the whole path when it has no '/'
    Result<FolderHandle> opened = openFolder(folder);
    if (!opened) return Failure::system(opened.failure().error, path);
    // What a killed run left beside the file under a hidden name goes first.
    sweepLeftovers(opened->fd());
    Result<PendingFile> pending = create(opened->fd(), leaf, path, unnamed);
    if (pending) pending->ownedFolder_ = std::move(*opened);
    return pending;
}

void PendingFile::discard() {
    file_.abandon();
    if (!temporary_.empty()) {
        ::unlinkat(folderFd_, temporary_.c_str(), 0);
        temporary_.clear();
    }
    unregisterTemporary(slot_);
}

Failure PendingFile::publish(Publish how, Flush flush) {
    const bool durable = flush == Flush::DataAndName;
    if (!file_.valid()) return Failure::system(EBADF, path_);
    auto fail = [this](int error) {
        discard();
        return Failure::system(error, path_);
    };
    if (durable && ::fsync(file_.fd()) != 0) return fail(errno);

    if (unnamed_) {
        // Straight to the final name when nothing stands there; a file to be replaced gets a
        // hidden name first and is renamed over it below, after the replace check.
        int linked = linkUnnamed(file_.fd(), folderFd_, leaf_.c_str());
        if (linked != 0 && errno == EEXIST && how == Publish::Replace) {
            const std::string target = temporaryName();
            const TemporaryCreation section;
            slot_ = registerTemporary(folderFd_, target);
            linked = linkUnnamed(file_.fd(), folderFd_, target.c_str());
            if (linked == 0) temporary_ = target;
        }
        if (linked != 0) {
            int error = errno;
            unregisterTemporary(slot_);
            return fail(error);
        }
    }
    if (!file_.close()) return fail(file_.failure().error);

    if (!temporary_.empty()) {
        // Tried without replacing first: a folder being filled has nothing to replace.
        int renamed = ::renameat2(folderFd_, temporary_.c_str(), folderFd_, leaf_.c_str(), RENAME_NOREPLACE);
        if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // No such rename here: a hard link does not replace either.
            if (how == Publish::NoReplace) {
                renamed = ::linkat(folderFd_, temporary_.c_str(), folderFd_, leaf_.c_str(), 0);
                if (renamed == 0) ::unlinkat(folderFd_, temporary_.c_str(), 0);
            } else {
                errno = EEXIST;
            }
        }
        if (renamed != 0 && errno == EEXIST && how == Publish::Replace) {
            const int refused = replaceError(folderFd_, leaf_.c_str());
            if (refused != 0 && refused != ENOENT) return fail(refused);
            renamed = ::renameat(folderFd_, temporary_.c_str(), folderFd_, leaf_.c_str());
        }
        if (renamed != 0) return fail(errno);
        temporary_.clear();
        unregisterTemporary(slot_);
    }
    if (durable && ::fsync(folderFd_) != 0) return Failure::system(errno, path_, std::string(kNamedNotDurable));
    return {};
}

}  // namespace quillomar
