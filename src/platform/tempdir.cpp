#include "platform/tempdir.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/outputfile.h"

namespace quillomar {

namespace {

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

}  // namespace

Result<std::string> privateTempFolder() {
    std::string folder = privateTempFolderPath();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return Failure::system(errno, folder);

    // Whatever is there must be our own folder, not a link, and closed to everyone else;
    // otherwise another user could plant or read the copies.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return Failure::system(errno, folder);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        return Failure::system(EACCES, folder);
    }
    return folder;
}

std::string temporaryFolderPrefix() { return "archive-" + std::to_string(::getpid()) + "-" + processMark() + "-"; }

void removeTree(const std::string& folder) {
    // Depth first, without following links.
    ::nftw(
        folder.c_str(),
        [](const char* path, const struct stat*, int, struct FTW*) -> int {
            ::remove(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

std::size_t removeTemporaryFolders(TemporaryFoldersOf whose) {
    const bool ownProcess = whose == TemporaryFoldersOf::ThisProcess;
    const std::string base = privateTempFolderPath();
    // Only inside the folder privateTempFolder() accepts: ours and closed to others.
    struct stat st {};
    if (::lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        return 0;
    }
    DIR* folder = ::opendir(base.c_str());
    if (folder == nullptr) return 0;
    const pid_t self = ::getpid();
    std::vector<std::string> doomed;
    while (const dirent* item = ::readdir(folder)) {
        const TemporaryOwner owner = ownerOfTemporaryFolder(item->d_name);
        if (owner.pid == 0) continue;
        const bool mine = owner.pid == static_cast<unsigned long>(self) && owner.mark == processMark();
        if (ownProcess ? !mine : (mine || !processEnded(owner.pid, owner.mark))) continue;
        doomed.push_back(base + "/" + item->d_name);
    }
    ::closedir(folder);
    for (const std::string& path : doomed) removeTree(path);
    return doomed.size();
}

}  // namespace quillomar
