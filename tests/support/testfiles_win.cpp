// The test helpers that touch the file system and the environment, on Windows: through the
// platform layer, so that paths are UTF-8 as everywhere else in the program.

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/tempdir.h"
#include "testutil.h"

namespace quillomar::test {

namespace {

void addTree(const std::string& folder, const std::string& relative, bool filesOnly, std::vector<std::string>& paths) {
    for (const FolderItem& item : listFolder(folder).items) {
        const std::string below = relative.empty() ? item.name : relative + "\\" + item.name;
        if (!filesOnly || item.status.kind == FileKind::Regular) paths.push_back(below);
        if (item.status.kind == FileKind::Folder) addTree(folder + "/" + item.name, below, filesOnly, paths);
    }
}

}  // namespace

// Relative paths with the system's separator, as std::filesystem gives them.
std::vector<std::string> listTree(const std::string& root, bool filesOnly) {
    std::vector<std::string> paths;
    addTree(root, {}, filesOnly, paths);
    std::sort(paths.begin(), paths.end());
    return paths;
}

TempDir::TempDir() {
    Result<std::string> base = privateTempFolder();
    if (!base) throw std::runtime_error("no temporary folder");
    Result<std::string> folder = createUniqueFolder(*base + "/quillomar-test-");
    if (!folder) throw std::runtime_error("cannot create a temporary folder");
    path_ = *folder;
    for (char& c : path_) {
        if (c == '\\') c = '/';
    }
}

TempDir::~TempDir() { removeTree(path_); }

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* before = std::getenv(name_.c_str())) previous_ = before;
    // An empty value removes the variable on Windows.
    _putenv_s(name_.c_str(), value != nullptr ? value : "");
}

ScopedEnv::~ScopedEnv() { _putenv_s(name_.c_str(), previous_ ? previous_->c_str() : ""); }

void writeFile(const std::string& path, const std::string& bytes, FileTime mtime) {
    if (createFolders(parentFolder(path)).failed()) throw std::runtime_error("cannot create the folder of " + path);
    File file = File::createAlways(path);
    if (!file.valid()) throw std::runtime_error("cannot create " + path);
    if (!file.writeAll(std::as_bytes(std::span(bytes.data(), bytes.size()))))
        throw std::runtime_error("cannot write " + path);
    if (mtime != 0 && !file.setTimes(timespecFromFileTime(mtime), timespecFromFileTime(mtime)))
        throw std::runtime_error("cannot set the times of " + path);
    if (!file.close()) throw std::runtime_error("cannot close " + path);
}

void makeFolder(const std::string& path) {
    if (createFolders(path).failed()) throw std::runtime_error("cannot create " + path);
}

std::string readFile(const std::string& path) {
    File file = File::openRead(path);
    if (!file.valid()) return {};
    const Result<std::uint64_t> size = file.size();
    std::string bytes(size ? static_cast<std::size_t>(*size) : 0, '\0');
    const std::int64_t got = file.readAt(0, std::as_writable_bytes(std::span(bytes.data(), bytes.size()))).count;
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return bytes;
}

bool exists(const std::string& path) { return fileStatus(path, Links::NotFollowed).ok(); }

FileTime modificationTime(const std::string& path) {
    const Result<FileStatus> status = fileStatus(path);
    return status ? status->modified : 0;
}

}  // namespace quillomar::test
