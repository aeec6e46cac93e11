#include "platform/filesystem.h"

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/asciicase.h"
#include "platform/win/widepath.h"

namespace quillomar {

namespace {

FileTime fileTimeOf(const FILETIME& time) {
    return static_cast<FileTime>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FileKind kindOf(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Folder;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::Other;
    return FileKind::Regular;
}

// The status through an open handle; flags FILE_FLAG_OPEN_REPARSE_POINT to look at a link itself.
std::optional<FileStatus> statusByHandle(const std::wstring& path, DWORD flags) {
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        win::failFromLastError();
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(handle, &info);
    const DWORD type = GetFileType(handle);
    if (!ok) win::failFromLastError();
    CloseHandle(handle);
    if (!ok) return std::nullopt;
    FileStatus status;
    status.kind = kindOf(info.dwFileAttributes);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)
        status.kind = FileKind::Link;
    if (status.kind == FileKind::Regular && type != FILE_TYPE_DISK) status.kind = FileKind::Other;
    if (status.kind == FileKind::Regular)
        status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.modified = fileTimeOf(info.ftLastWriteTime);
    status.id = {info.dwVolumeSerialNumber,
                 (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return status;
}

}  // namespace

std::optional<FileStatus> fileStatus(const std::string& path, bool followLinks) {
    return statusByHandle(win::widePath(path), followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
}

FolderListing listFolder(const std::string& path) {
    FolderListing listing;
    std::wstring folder = win::widePath(path);
    if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
    const std::optional<FileStatus> self = statusByHandle(folder, 0);
    if (!self || self->kind != FileKind::Folder) {
        listing.error = self ? ENOTDIR : errno;
        return listing;
    }
    listing.self = self->id;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) listing.error = win::failFromLastError();
        return listing;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        FolderItem item;
        item.name = win::toUtf8(name);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A link is followed; one that leads nowhere keeps its own status. A folder needs its
            // id, which the listing does not give.
            std::optional<FileStatus> status = statusByHandle(folder + std::wstring(name), 0);
            if (!status) status = statusByHandle(folder + std::wstring(name), FILE_FLAG_OPEN_REPARSE_POINT);
            if (!status) {
                if (listing.unreachable == 0) listing.unreachable = errno;
                continue;
            }
            item.status = *status;
        } else {
            item.status.kind = kindOf(found.dwFileAttributes);
            item.status.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            item.status.modified = fileTimeOf(found.ftLastWriteTime);
        }
        listing.items.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES && listing.unreachable == 0)
        listing.unreachable = win::failFromLastError();
    FindClose(search);
    return listing;
}

namespace {

// A folder held open so that it cannot be removed or renamed while work is done below it.
int openFolderHandle(const std::wstring& path, DWORD flags) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_DIRECTORY ? ENOTDIR : win::errnoFromWin32(error);
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        const int error = win::failFromLastError();
        CloseHandle(handle);
        errno = error;
        return -1;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        errno = ELOOP;
        return -1;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        errno = ENOTDIR;
        return -1;
    }
    return win::descriptorFor(handle);
}

}  // namespace

int openFolder(const std::string& path) { return openFolderHandle(win::widePath(path), 0); }

int openSubfolder(int folderFd, const std::string& name, bool create, bool& existed) {
    const std::wstring path = win::widePathIn(folderFd, name);
    existed = true;
    if (create) {
        existed = !CreateDirectoryW(path.c_str(), nullptr);
        if (existed && GetLastError() != ERROR_ALREADY_EXISTS) {
            win::failFromLastError();
            return -1;
        }
    }
    const int fd = openFolderHandle(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (fd < 0) return -1;
    // Not every link shows as a reparse point (Wine's do not): a folder entered through one has
    // another final path than the one asked for.
    const std::wstring reached = win::widePathIn(fd, "");
    std::wstring asked = path;
    if (!asked.ends_with(L'\\')) asked.push_back(L'\\');
    if (CompareStringOrdinal(reached.data(), static_cast<int>(reached.size()), asked.data(),
                             static_cast<int>(asked.size()), TRUE) != CSTR_EQUAL) {
        _close(fd);
        errno = ELOOP;
        return -1;
    }
    return fd;
}

void closeFolder(int folderFd) {
    if (folderFd >= 0) _close(folderFd);
}

int duplicateDescriptor(int fd) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), win::handleOf(fd), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        win::failFromLastError();
        return -1;
    }
    return win::descriptorFor(copy);
}

bool isReservedName(std::string_view name) {
    // "A:B" names the stream B of the file A, wherever A is.
    if (name.find(':') != std::string_view::npos) return true;
    // The name up to its first dot, trailing blanks left out, is what the system compares.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper(base);
    for (char& c : upper) c = asciiUpper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (upper == device) return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

bool removeFile(const std::string& path) {
    if (DeleteFileW(win::widePath(path).c_str())) return true;
    win::failFromLastError();
    return false;
}

bool isReadable(const std::string& path) {
    HANDLE handle =
        CreateFileW(win::widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

std::optional<std::string> createUniqueFolder(const std::string& prefix) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix;
        for (int i = 0; i < 6; ++i) path.push_back(kLetters[random() % (sizeof kLetters - 1)]);
        if (CreateDirectoryW(win::widePath(path).c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            win::failFromLastError();
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
}

}  // namespace quillomar
