// What the open file and the pending output file do alike on every system: hold their
// descriptor and their failure record, give them up on destruction, hand them over on a move.
// Opening, reading, writing and publishing are each system's own (fileio.cpp, win/fileio.cpp).

#include <cerrno>
#include <utility>

#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/outputfile.h"

namespace quillomar {

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

bool File::fail(int error) const {
    failure_ = Failure::system(error, path_);
    errno = error;
    return false;
}

PendingFile::~PendingFile() {
    discard();
    if (ownsFolder_) closeFolder(folderFd_);
}

PendingFile::PendingFile(PendingFile&& other) noexcept { *this = std::move(other); }

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this == &other) return *this;
    discard();
    if (ownsFolder_) closeFolder(folderFd_);
    folderFd_ = std::exchange(other.folderFd_, -1);
    ownsFolder_ = std::exchange(other.ownsFolder_, false);
    unnamed_ = std::exchange(other.unnamed_, false);
    slot_ = std::exchange(other.slot_, -1);
    leaf_ = std::move(other.leaf_);
    path_ = std::move(other.path_);
    temporary_ = std::move(other.temporary_);
    file_ = std::move(other.file_);
    return *this;
}

}  // namespace quillomar
