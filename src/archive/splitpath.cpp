#include "archive/splitpath.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fileio.h"

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

int createDirectoryPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) == 0) return 0;
    const int error = createFolders(path);
    if (error == 0) return 1;
    errno = error;
    return 0;
}

}  // namespace quillomar
