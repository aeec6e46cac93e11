#include "archive/splitpath.h"

#include <cerrno>

#include "platform/fileio.h"
#include "platform/filesystem.h"

namespace quillomar {

namespace {
constexpr std::size_t kPartLimit = 255;

std::string cut(std::string_view part) { return std::string(part.substr(0, kPartLimit)); }
}  // namespace

PathParts splitPath(std::string_view path) {
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = std::string(path.substr(0, 2));
        path.remove_prefix(2);
    }
    std::size_t lastSeparator = path.find_last_of("\\/");
    if (lastSeparator != std::string_view::npos) {
        parts.folder = cut(path.substr(0, lastSeparator + 1));
        path.remove_prefix(lastSeparator + 1);
    }
    std::size_t lastDot = path.rfind('.');
    if (lastDot != std::string_view::npos) {
        parts.name = cut(path.substr(0, lastDot));
        parts.extension = cut(path.substr(lastDot));
    } else {
        parts.name = cut(path);
    }
    return parts;
}

Result<FolderCreation> createDirectoryPath(const std::string& path) {
    if (path.empty()) return Failure::system(ENOENT, path);
    if (const Result<FileStatus> status = fileStatus(path)) {
        if (status->kind == FileKind::Folder) return FolderCreation::AlreadyThere;
        return Failure::system(ENOTDIR, path);
    }
    if (Failure failure = createFolders(path); failure.failed()) return failure;
    return FolderCreation::Created;
}

}  // namespace quillomar
