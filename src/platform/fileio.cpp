#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace quillomar {

namespace {

// Why a file that is no regular file cannot be read as one.
std::string notRegularDetail(mode_t mode) {
    if (S_ISFIFO(mode)) return "not a regular file (a named pipe)";
    if (S_ISSOCK(mode)) return "not a regular file (a socket)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "not a regular file (a device)";
    return "not a regular file";
}

}  // namespace

File File::openRead(const std::string& path) {
    // Only a regular file is read. Opened without blocking, so that a pipe or a device put in a
    // file's place since it was listed cannot hang the reader.
    File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK), path);
    if (!file.valid()) return file;
    struct stat st {};
    Failure refused;
    if (::fstat(file.fd_, &st) != 0) {
        refused = Failure::system(errno, path);
    } else if (S_ISDIR(st.st_mode)) {
        refused = Failure::system(EISDIR, path);
    } else if (!S_ISREG(st.st_mode)) {
        refused = Failure::system(EINVAL, path, notRegularDetail(st.st_mode));
    }
    if (refused.failed()) {
        file.abandon();
        file.failure_ = std::move(refused);
        errno = file.failure_.error;
    }
    // O_NONBLOCK stays: reads of a regular file do not heed it, and clearing it would cost two calls per file.
    return file;
}

File File::createNew(const std::string& path) {
    return File(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666), path);
}

File File::createAlways(const std::string& path) {
    return File(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666), path);
}

Result<std::uint64_t> File::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Failure::system(errno, path_);
    return static_cast<std::uint64_t>(st.st_size);
}

ReadResult File::readAt(std::uint64_t offset, std::span<std::byte> buffer) const {
    std::size_t done = 0;
    while (done < buffer.size()) {
        ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return {-1, Failure::system(errno, path_)};
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return {static_cast<std::int64_t>(done), {}};
}

namespace {

// Writes every byte through write(pointer, count, done), which returns what one system call returns.
template <typename WriteCall>
bool writeEvery(std::span<const std::byte> data, WriteCall write) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(data.data() + done, data.size() - done, done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Failure writeAllTo(int fd, std::span<const std::byte> data, std::string path) {
    if (writeEvery(data, [fd](const std::byte* p, std::size_t n, std::size_t) { return ::write(fd, p, n); })) return {};
    return Failure::system(errno, std::move(path));
}

bool File::writeAll(std::span<const std::byte> data) {
    return writeEvery(data, [this](const std::byte* p, std::size_t n, std::size_t) { return ::write(fd_, p, n); }) ||
           fail(errno);
}

bool File::writeAt(std::uint64_t offset, std::span<const std::byte> data) {
    if (writeEvery(data, [this, offset](const std::byte* p, std::size_t n, std::size_t done) {
            return ::pwrite(fd_, p, n, static_cast<off_t>(offset + done));
        })) {
        return true;
    }
    return fail(errno);
}

bool File::seek(std::uint64_t offset) { return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0 || fail(errno); }

bool File::truncate(std::uint64_t size) { return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 || fail(errno); }

bool File::setTimes(const struct timespec& accessed, const struct timespec& modified) {
    const struct timespec times[2] = {accessed, modified};
    return ::futimens(fd_, times) == 0 || fail(errno);
}

bool File::close() {
    if (fd_ < 0) return true;
    int result = ::close(fd_);
    fd_ = -1;
    // After EINTR the descriptor is gone on Linux, and whatever was written has been handed over.
    return result == 0 || errno == EINTR || fail(errno);
}

void File::abandon() {
    if (fd_ < 0) return;
    ::close(fd_);  // the outcome of closing a file that is given up tells nothing more
    fd_ = -1;
}

namespace {

// Copies through a user-space buffer of at most kCopyChunkSize bytes.
void copyThroughBuffer(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t length, CopyResult& result) {
    thread_local std::vector<std::byte> buffer;
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyChunkSize));
    if (buffer.size() < chunk) buffer.resize(chunk);
    std::uint64_t done = 0;
    while (done < length) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, chunk));
        ReadResult read = from.readAt(fromOffset + done, std::span(buffer.data(), want));
        if (!read.ok()) {
            result.failure = std::move(read.failure);
            result.readFailed = true;
            return;
        }
        const std::int64_t got = read.count;
        if (!to.writeAll(std::span(buffer.data(), static_cast<std::size_t>(got)))) {
            result.failure = to.failure();
            return;
        }
        done += static_cast<std::uint64_t>(got);
        result.copied += static_cast<std::uint64_t>(got);
        if (static_cast<std::size_t>(got) < want) return;
    }
}

}  // namespace

CopyResult copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t length, CopyMethod* method) {
    CopyResult result;
    CopyMethod once;
    if (method == nullptr) method = &once;
    // The kernel copies without passing the data through this process where it can.
    while (method->kernel && result.copied < length) {
        loff_t in = static_cast<loff_t>(fromOffset + result.copied);
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - result.copied, 1u << 30));
        ssize_t n = ::copy_file_range(from.fd(), &in, to.fd(), nullptr, want, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // Not offered between these two file systems: it would fail the same way for every
            // later file. Any other failure: the buffered copy does the rest and tells which side failed.
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL || errno == EBADF) {
                method->kernel = false;
            }
            break;
        }
        if (n == 0) return result;  // the source ended
        result.copied += static_cast<std::uint64_t>(n);
    }
    // Between file systems (a disk and a RAM disk) the kernel still moves the pages itself with
    // sendfile: one copy instead of two through a buffer here.
    while (!method->kernel && method->send && result.copied < length) {
        off_t in = static_cast<off_t>(fromOffset + result.copied);
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - result.copied, 1u << 30));
        ssize_t n = ::sendfile(to.fd(), from.fd(), &in, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            // As above: a refusal holds for every later file, any other failure is told by the buffered copy.
            if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF) method->send = false;
            break;
        }
        if (n == 0) return result;
        result.copied += static_cast<std::uint64_t>(n);
    }
    if (result.copied < length) copyThroughBuffer(from, fromOffset + result.copied, to, length - result.copied, result);
    return result;
}

Failure writeFileAtomically(const std::string& path, std::string_view data, unsigned mode) {
    std::string temp = path + ".XXXXXX";
    File file(::mkostemp(temp.data(), O_CLOEXEC), temp);
    if (!file.valid()) return Failure::system(file.failure().error, path);
    int error = 0;
    if (!file.writeAll(std::as_bytes(std::span(data.data(), data.size())))) error = file.failure().error;
    if (error == 0 && ::fchmod(file.fd(), static_cast<mode_t>(mode)) != 0) error = errno;
    if (error == 0 && ::fsync(file.fd()) != 0) error = errno;
    if (error == 0 && !file.close()) error = file.failure().error;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        file.abandon();
        ::unlink(temp.c_str());
        return Failure::system(error, path);
    }
    // The rename lasts only once the folder that holds the name is on disk too.
    const std::string folder = parentFolder(path);
    File directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), folder);
    if (!directory.valid()) return directory.failure();
    // A file system that cannot sync a folder (EINVAL) keeps its names by other means.
    if (::fsync(directory.fd()) != 0 && errno != EINVAL) return Failure::system(errno, folder);
    return {};
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// createFolders' steps: 0, or the errno of the step that failed.
int makeFolders(const std::string& path, mode_t mode) {
    if (path.empty()) return ENOENT;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    std::size_t slash = path.find_last_not_of('/');
    slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
    if (slash != std::string::npos && slash > 0) {
        if (int error = makeFolders(path.substr(0, slash), mode); error != 0) return error;
    }
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
    return 0;
}

}  // namespace

Failure createFolders(const std::string& path, unsigned mode) {
    const int error = makeFolders(path, static_cast<mode_t>(mode));
    return error == 0 ? Failure() : Failure::system(error, path);
}

}  // namespace quillomar
