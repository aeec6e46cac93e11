#include "platform/filesystem.h"

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/asciicase.h"
#include "platform/fileio.h"
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
// A failure names shown, the path as the caller gave it.
Result<FileStatus> statusByHandle(const std::wstring& path, DWORD flags, const std::string& shown) {
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failure::system(win::failFromLastError(), shown);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(handle, &info);
    const DWORD type = GetFileType(handle);
    const int error = ok ? 0 : win::failFromLastError();
    CloseHandle(handle);
    if (!ok) return Failure::system(error, shown);
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

Result<FileStatus> fileStatus(const std::string& path, Links links) {
    return statusByHandle(win::widePath(path), links == Links::Followed ? 0 : FILE_FLAG_OPEN_REPARSE_POINT, path);
}

FolderListing listFolder(const std::string& path) {
    FolderListing listing;
    std::wstring folder = win::widePath(path);
    if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
    const Result<FileStatus> self = statusByHandle(folder, 0, path);
    if (!self || self->kind != FileKind::Folder) {
        listing.error = self ? ENOTDIR : self.failure().error;
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
            Result<FileStatus> status = statusByHandle(folder + std::wstring(name), 0, item.name);
            if (!status) status = statusByHandle(folder + std::wstring(name), FILE_FLAG_OPEN_REPARSE_POINT, item.name);
            if (!status) {
                if (listing.unreachable == 0) listing.unreachable = status.failure().error;
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

// A folder held open so that it cannot be removed or renamed while work is done below it. A
// failure names shown.
Result<FolderHandle> openFolderHandle(const std::wstring& path, DWORD flags, const std::string& shown) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Failure::system(error == ERROR_DIRECTORY ? ENOTDIR : win::errnoFromWin32(error), shown);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    int error = 0;
    if (!GetFileInformationByHandle(handle, &info)) {
        error = win::failFromLastError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        error = ELOOP;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = ENOTDIR;
    }
    if (error != 0) {
        CloseHandle(handle);
        return Failure::system(error, shown);
    }
    FolderHandle folder(win::descriptorFor(handle));
    if (!folder.valid()) return Failure::system(errno, shown);
    return folder;
}

}  // namespace

Result<FolderHandle> openFolder(const std::string& path) { return openFolderHandle(win::widePath(path), 0, path); }

Result<Subfolder> openSubfolder(int folderFd, const std::string& name, IfMissing ifMissing) {
    const std::wstring path = win::widePathIn(folderFd, name);
    Subfolder subfolder;
    if (ifMissing == IfMissing::Create) {
        subfolder.created = CreateDirectoryW(path.c_str(), nullptr) != FALSE;
        if (!subfolder.created && GetLastError() != ERROR_ALREADY_EXISTS)
            return Failure::system(win::failFromLastError(), name);
    }
    Result<FolderHandle> opened = openFolderHandle(path, FILE_FLAG_OPEN_REPARSE_POINT, name);
    if (!opened) return opened.failure();
    // Not every link shows as a reparse point (Wine's do not): a folder entered through one has
    // another final path than the one asked for.
    const std::wstring reached = win::widePathIn(opened->fd(), "");
    std::wstring asked = path;
    if (!asked.ends_with(L'\\')) asked.push_back(L'\\');
    if (CompareStringOrdinal(reached.data(), static_cast<int>(reached.size()), asked.data(),
                             static_cast<int>(asked.size()), TRUE) != CSTR_EQUAL) {
        return Failure::system(ELOOP, name);
    }
    subfolder.folder = std::move(*opened);
    return subfolder;
}

void closeFolder(int folderFd) {
    if (folderFd >= 0) _close(folderFd);
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

Failure removeFile(const std::string& path) {
    if (DeleteFileW(win::widePath(path).c_str())) return {};
    return Failure::system(win::failFromLastError(), path);
}

Failure removeEmptyFolder(const std::string& path) {
    if (RemoveDirectoryW(win::widePath(path).c_str())) return {};
    return Failure::system(win::failFromLastError(), path);
}

bool isReadable(const std::string& path) {
    HANDLE handle =
        CreateFileW(win::widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

Result<std::string> createUniqueFolder(const std::string& prefix) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix;
        for (int i = 0; i < 6; ++i) path.push_back(kLetters[random() % (sizeof kLetters - 1)]);
        if (CreateDirectoryW(win::widePath(path).c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return Failure::system(win::failFromLastError(), parentFolder(prefix));
    }
    return Failure::system(EEXIST, parentFolder(prefix));
}

}  // namespace quillomar
