#include "platform/win/widepath.h"

#include <io.h>

#include <fcntl.h>
#include <cerrno>
#include <cstdio>

namespace quillomar::win {

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {

// Below this length every path works without the prefix (the classic limit, less room for a
// short file name the system may append).
constexpr std::size_t kClassicLimit = MAX_PATH - 12;

bool hasLongPrefix(std::wstring_view path) { return path.starts_with(L"\\\\?\\"); }

}  // namespace

std::wstring widePath(std::string_view path) {
    std::wstring wide = toWide(path);
    if (hasLongPrefix(wide)) return wide;  // already in the system's own long form
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    if (wide.size() < kClassicLimit) return wide;
    // The prefix turns off every interpretation of the path: it must be absolute and normalised.
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring widePathIn(int folderFd, std::string_view name) {
    HANDLE folder = handleOf(folderFd);
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (length == 0 || length >= path.size()) return widePath(name);  // the name alone then fails or is wrong
    path.resize(length);
    if (!hasLongPrefix(path)) path = widePath(toUtf8(path));
    if (!path.ends_with(L'\\')) path.push_back(L'\\');
    for (wchar_t c : toWide(name)) path.push_back(c == L'/' ? L'\\' : c);
    return path;
}

int errnoFromWin32(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_CANNOT_MAKE:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_NO_UNICODE_TRANSLATION:
            return EILSEQ;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_HANDLE_EOF:
            return ENODATA;
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return ENOSYS;
        default:
            return EIO;
    }
}

DWORD win32FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case EILSEQ:
            return ERROR_NO_UNICODE_TRANSLATION;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case ENODATA:
            return ERROR_HANDLE_EOF;
        case EIO:
            return ERROR_IO_DEVICE;
        case ENOSYS:
            return ERROR_NOT_SUPPORTED;
        case ENOTDIR:
            return ERROR_DIRECTORY;
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EBADMSG:
            return ERROR_INVALID_DATA;
        default:
            return 0;
    }
}

int failFromLastError() {
    const int error = errnoFromWin32(GetLastError());
    errno = error;
    return error;
}

int descriptorFor(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return -1;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

HANDLE handleOf(int fd) {
    if (fd < 0) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

namespace {

std::string creationMark(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
    char hex[24];
    std::snprintf(hex, sizeof hex, "%llx",
                  (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
    return hex;
}

}  // namespace

const std::string& processMark() {
    static const std::string mark = creationMark(GetCurrentProcess());
    return mark;
}

bool processEnded(unsigned long pid, std::string_view mark) {
    if (pid == GetCurrentProcessId()) return mark != processMark();
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    const std::string started = creationMark(process);
    CloseHandle(process);
    return !running || (!started.empty() && started != mark);
}

}  // namespace quillomar::win
