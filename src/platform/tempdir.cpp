#include "platform/tempdir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quillomar {

std::string privateTempFolderPath() {
    std::string base;
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] == '/') {
            base = value;
            break;
        }
    }
    if (base.empty()) base = "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();

    return base + "/quillomar-" + std::to_string(::getuid());
}

std::optional<std::string> privateTempFolder() {
    std::string folder = privateTempFolderPath();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;

    // Whatever is there must be our own folder, not a link, and closed to everyone else;
    // otherwise another user could plant or read the copies.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        errno = EACCES;
        return std::nullopt;
    }
    return folder;
}

}  // namespace quillomar
