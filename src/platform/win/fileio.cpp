// Files through the wide API. A File's descriptor is a C runtime descriptor that owns the
// system's handle, so that the descriptor-based interface is the same as on POSIX systems.

#include "platform/fileio.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>
#include <vector>

#include "platform/filetime.h"
#include "platform/win/widepath.h"

namespace quillomar {

using win::handleOf;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens for writing, never through a link at the last component: a reparse point there is
// opened as itself and refused.
int openForWriting(const std::string& path, DWORD disposition) {
    const std::wstring wide = win::widePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        win::failFromLastError();
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        errno = ELOOP;
        return -1;
    }
    return win::descriptorFor(handle);
}

}  // namespace

File File::openRead(const std::string& path) {
    const std::wstring wide = win::widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return File(-1, path);
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        win::failFromLastError();
        return File(-1, path);
    }
    // Only a disk file is read: a pipe or a device has no end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        File refused(-1, path);
        refused.failure_ = Failure::system(EINVAL, path, "not a regular file (a device)");
        errno = EINVAL;
        return refused;
    }
    return File(win::descriptorFor(handle), path);
}

File File::createNew(const std::string& path) { return File(openForWriting(path, CREATE_NEW), path); }

File File::createAlways(const std::string& path) {
    // CREATE_ALWAYS would follow a link there: an existing file is opened and cut instead.
    int fd = openForWriting(path, OPEN_ALWAYS);
    if (fd >= 0 && !SetEndOfFile(handleOf(fd))) {
        const int error = win::failFromLastError();
        _close(fd);
        errno = error;
        fd = -1;
    }
    return File(fd, path);
}

Result<std::uint64_t> File::size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(fd_), &size)) return Failure::system(win::failFromLastError(), path_);
    return static_cast<std::uint64_t>(size.QuadPart);
}

namespace {

constexpr std::size_t kMaxCall = std::size_t{1} << 30;  // one ReadFile or WriteFile at most

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

// Writes every byte, at offset when one is given, else at the current position.
bool writeHandle(HANDLE handle, std::span<const std::byte> data, const std::uint64_t* offset) {
    std::size_t done = 0;
    while (done < data.size()) {
        const auto want = static_cast<DWORD>(std::min(data.size() - done, kMaxCall));
        DWORD written = 0;
        OVERLAPPED position = offset != nullptr ? at(*offset + done) : OVERLAPPED{};
        if (!WriteFile(handle, data.data() + done, want, &written, offset != nullptr ? &position : nullptr)) {
            win::failFromLastError();
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

ReadResult File::readAt(std::uint64_t offset, std::span<std::byte> buffer) const {
    HANDLE handle = handleOf(fd_);
    std::size_t done = 0;
    while (done < buffer.size()) {
        const auto want = static_cast<DWORD>(std::min(buffer.size() - done, kMaxCall));
        DWORD got = 0;
        OVERLAPPED position = at(offset + done);
        if (!ReadFile(handle, buffer.data() + done, want, &got, &position)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return {-1, Failure::system(win::failFromLastError(), path_)};
        }
        if (got == 0) break;
        done += got;
    }
    return {static_cast<std::int64_t>(done), {}};
}

Failure writeAllTo(int fd, std::span<const std::byte> data, std::string path) {
    HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return Failure::system(EBADF, std::move(path));
    if (writeHandle(handle, data, nullptr)) return {};
    return Failure::system(errno, std::move(path));
}

bool File::writeAll(std::span<const std::byte> data) {
    HANDLE handle = handleOf(fd_);
    if (handle == INVALID_HANDLE_VALUE) return fail(EBADF);
    return writeHandle(handle, data, nullptr) || fail(errno);
}

bool File::writeAt(std::uint64_t offset, std::span<const std::byte> data) {
    // A positioned write moves the file pointer on Windows: it is put back afterwards.
    HANDLE handle = handleOf(fd_);
    LARGE_INTEGER current{};
    if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &current, FILE_CURRENT)) return fail(win::failFromLastError());
    if (!writeHandle(handle, data, &offset)) return fail(errno);
    if (!SetFilePointerEx(handle, current, nullptr, FILE_BEGIN)) return fail(win::failFromLastError());
    return true;
}

bool File::seek(std::uint64_t offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handleOf(fd_), position, nullptr, FILE_BEGIN) || fail(win::failFromLastError());
}

bool File::truncate(std::uint64_t size) {
    LARGE_INTEGER here{};
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handleOf(fd_), LARGE_INTEGER{}, &here, FILE_CURRENT) ||
        !SetFilePointerEx(handleOf(fd_), end, nullptr, FILE_BEGIN) || !SetEndOfFile(handleOf(fd_)) ||
        !SetFilePointerEx(handleOf(fd_), here, nullptr, FILE_BEGIN)) {
        return fail(win::failFromLastError());
    }
    return true;
}

namespace {

FILETIME toFiletime(const struct timespec& time) {
    const auto ticks = static_cast<std::uint64_t>(fileTimeFromTimespec(time));
    FILETIME out{};
    out.dwLowDateTime = static_cast<DWORD>(ticks);
    out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return out;
}

}  // namespace

bool File::setTimes(const struct timespec& accessed, const struct timespec& modified) {
    const FILETIME access = toFiletime(accessed);
    const FILETIME write = toFiletime(modified);
    return SetFileTime(handleOf(fd_), nullptr, &access, &write) || fail(win::failFromLastError());
}

bool File::close() {
    if (fd_ < 0) return true;
    const int result = _close(fd_);
    fd_ = -1;
    return result == 0 || fail(errno);
}

void File::abandon() {
    if (fd_ < 0) return;
    _close(fd_);
    fd_ = -1;
}

CopyResult copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t length, CopyMethod* method) {
    static_cast<void>(method);  // Windows offers no copy between two open files: always through a buffer
    CopyResult result;
    thread_local std::vector<std::byte> buffer;
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyChunkSize));
    if (buffer.size() < chunk) buffer.resize(chunk);
    while (result.copied < length) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - result.copied, chunk));
        ReadResult read = from.readAt(fromOffset + result.copied, std::span(buffer.data(), want));
        if (!read.ok()) {
            result.failure = std::move(read.failure);
            result.readFailed = true;
            return result;
        }
        const std::int64_t got = read.count;
        if (!to.writeAll(std::span(buffer.data(), static_cast<std::size_t>(got)))) {
            result.failure = to.failure();
            return result;
        }
        result.copied += static_cast<std::uint64_t>(got);
        if (static_cast<std::size_t>(got) < want) break;
    }
    return result;
}

Failure writeFileAtomically(const std::string& path, std::string_view data, unsigned mode) {
    static_cast<void>(mode);  // Windows files have no mode bits; the folder's permissions apply
    std::random_device random;
    File file;
    std::string temp;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temp = path + "." + std::to_string(random() % 1000000);
        file = File::createNew(temp);
        if (!file.valid() && file.failure().error != EEXIST) break;
    }
    if (!file.valid()) return Failure::system(file.failure().error, path);
    int error = 0;
    if (!file.writeAll(std::as_bytes(std::span(data.data(), data.size())))) error = file.failure().error;
    if (error == 0 && !FlushFileBuffers(handleOf(file.fd()))) error = win::failFromLastError();
    if (error == 0 && !file.close()) error = file.failure().error;
    if (error == 0 && !MoveFileExW(win::widePath(temp).c_str(), win::widePath(path).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = win::failFromLastError();
    }
    if (error != 0) {
        file.abandon();
        DeleteFileW(win::widePath(temp).c_str());
        return Failure::system(error, path);
    }
    return {};
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    // "C:\name" keeps the drive's root; "\name" the current drive's.
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

namespace {

// createFolders' steps: 0, or the errno of the step that failed.
int makeFolders(const std::string& path) {
    if (path.empty()) return ENOENT;
    const DWORD attributes = GetFileAttributesW(win::widePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
    std::size_t end = path.find_last_not_of("/\\");
    const std::size_t slash = end == std::string::npos ? std::string::npos : path.find_last_of("/\\", end);
    if (slash != std::string::npos && slash > 0 && !(slash == 2 && path[1] == ':')) {
        if (const int error = makeFolders(path.substr(0, slash)); error != 0) return error;
    }
    if (!CreateDirectoryW(win::widePath(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return win::failFromLastError();
    return 0;
}

}  // namespace

Failure createFolders(const std::string& path, unsigned mode) {
    static_cast<void>(mode);  // Windows folders have no mode bits
    const int error = makeFolders(path);
    return error == 0 ? Failure() : Failure::system(error, path);
}

}  // namespace quillomar
