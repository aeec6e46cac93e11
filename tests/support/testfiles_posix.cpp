// The test helpers that touch the file system and the environment, on POSIX systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "testutil.h"

namespace quillomar::test {

std::vector<std::string> listTree(const std::string& root, bool filesOnly) {
    std::vector<std::string> paths;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ignored)) {
        if (!filesOnly || entry.is_regular_file(ignored))
            paths.push_back(entry.path().lexically_relative(root).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillomar-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave folders without permissions behind.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) ::chmod(entry.path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* before = ::getenv(name_.c_str())) previous_ = before;
    if (value != nullptr) {
        ::setenv(name_.c_str(), value, 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

void writeFile(const std::string& path, const std::string& bytes, FileTime mtime) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (mtime != 0) {
        struct timespec times[2] = {timespecFromFileTime(mtime), timespecFromFileTime(mtime)};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

void makeFolder(const std::string& path) { std::filesystem::create_directories(path); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

FileTime modificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return fileTimeFromTimespec(st.st_mtim);
}

}  // namespace quillomar::test
