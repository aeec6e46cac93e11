// What the open file and the pending output file do alike on every system: hold their
// descriptor and their failure record, give them up on destruction, hand them over on a move; and
// the temporary names that tell whose a leftover is. Opening, reading, writing, publishing and
// sweeping are each system's own (fileio.cpp and outputfile.cpp, and the same in win/).

#include <cerrno>
#include <charconv>
#include <utility>

#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/outputfile.h"

namespace quillomar {

std::string temporaryNameFor(unsigned long pid, std::string_view mark, std::uint64_t count) {
    return std::string(kTemporaryPrefix) + std::to_string(pid) + "-" + std::string(mark) + "-" + std::to_string(count);
}

TemporaryOwner ownerOfTemporaryName(std::string_view name) {
    if (!name.starts_with(kTemporaryPrefix)) return {};
    name.remove_prefix(kTemporaryPrefix.size());
    const std::size_t dash = name.find('-');
    const std::size_t second = dash == std::string_view::npos ? dash : name.find('-', dash + 1);
    if (second == std::string_view::npos || dash == 0 || second == dash + 1 || second + 1 == name.size()) return {};
    unsigned long pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || end != name.data() + dash || pid == 0) return {};
    for (char c : name.substr(second + 1)) {
        if (c < '0' || c > '9') return {};
    }
    return {pid, name.substr(dash + 1, second - dash - 1)};
}

TemporaryOwner ownerOfTemporaryFolder(std::string_view name) {
    constexpr std::string_view kFolderPrefix = "archive-";
    if (!name.starts_with(kFolderPrefix)) return {};
    name.remove_prefix(kFolderPrefix.size());
    const std::size_t dash = name.find('-');
    const std::size_t second = dash == std::string_view::npos ? dash : name.find('-', dash + 1);
    if (second == std::string_view::npos || dash == 0 || second == dash + 1) return {};
    unsigned long pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || end != name.data() + dash || pid == 0) return {};
    return {pid, name.substr(dash + 1, second - dash - 1)};
}

File::File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
    if (fd_ < 0) failure_ = Failure::system(errno, path_);
}

File::~File() { abandon(); }

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)), failure_(std::move(other.failure_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        abandon();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        failure_ = std::move(other.failure_);
        other.fd_ = -1;
    }
    return *this;
}

bool File::fail(int error) {
    failure_ = Failure::system(error, path_);
    errno = error;
    return false;
}

PendingFile::~PendingFile() { discard(); }

PendingFile::PendingFile(PendingFile&& other) noexcept { *this = std::move(other); }

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this == &other) return *this;
    discard();
    folderFd_ = std::exchange(other.folderFd_, -1);
    ownedFolder_ = std::move(other.ownedFolder_);
    unnamed_ = std::exchange(other.unnamed_, false);
    slot_ = std::exchange(other.slot_, -1);
    leaf_ = std::move(other.leaf_);
    path_ = std::move(other.path_);
    temporary_ = std::move(other.temporary_);
    file_ = std::move(other.file_);
    return *this;
}

}  // namespace quillomar
