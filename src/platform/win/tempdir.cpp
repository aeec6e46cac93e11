// The user's own temporary folder (GetTempPathW lies in the user's profile, closed to other users)
// with a "quillomar" folder inside.

#include "platform/tempdir.h"

#include <cerrno>
#include <charconv>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/outputfile.h"
#include "platform/win/widepath.h"

namespace quillomar {

namespace {

std::string privateTempFolderPath() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string base = length > 0 && length <= MAX_PATH ? win::toUtf8(std::wstring_view(buffer, length)) : ".";
    while (base.size() > 3 && (base.back() == '\\' || base.back() == '/')) base.pop_back();
    if (base.back() != '\\' && base.back() != '/') base.push_back('\\');
    return base + "quillomar";
}

}  // namespace

Result<std::string> privateTempFolder() {
    std::string folder = privateTempFolderPath();
    if (!CreateDirectoryW(win::widePath(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Failure::system(win::failFromLastError(), folder);
    // Whatever is there must be a real folder, not a link planted to send the copies elsewhere.
    const Result<FileStatus> status = fileStatus(folder, Links::NotFollowed);
    if (!status) return status.failure();
    if (status->kind != FileKind::Folder) return Failure::system(EACCES, folder);
    return folder;
}

std::string temporaryFolderPrefix() {
    return "archive-" + std::to_string(GetCurrentProcessId()) + "-" + processMark() + "-";
}

void removeTree(const std::string& folder) {
    const std::wstring path = win::widePath(folder);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    // A link or junction is removed itself, never what it leads to.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        for (const FolderItem& item : listFolder(folder).items) removeTree(folder + "\\" + item.name);
        RemoveDirectoryW(path.c_str());
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveDirectoryW(path.c_str());
    } else {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}

std::size_t removeTemporaryFolders(TemporaryFoldersOf whose) {
    const bool ownProcess = whose == TemporaryFoldersOf::ThisProcess;
    const std::string base = privateTempFolderPath();
    const Result<FileStatus> status = fileStatus(base, Links::NotFollowed);
    if (!status || status->kind != FileKind::Folder) return 0;
    const unsigned long self = GetCurrentProcessId();
    std::vector<std::string> doomed;
    for (const FolderItem& item : listFolder(base).items) {
        const TemporaryOwner owner = ownerOfTemporaryFolder(item.name);
        if (owner.pid == 0) continue;
        const bool mine = owner.pid == self && owner.mark == processMark();
        if (ownProcess ? !mine : (mine || !processEnded(owner.pid, owner.mark))) continue;
        doomed.push_back(base + "\\" + item.name);
    }
    for (const std::string& path : doomed) removeTree(path);
    return doomed.size();
}

}  // namespace quillomar
