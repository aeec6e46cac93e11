#pragma once
// The file system behind a mounted archive: FUSE's low-level operations over the folder tree that
// extraction would write. Inode numbers are node positions plus one (the root is FUSE's inode 1);
// every name and attribute is fixed for the life of the mount, so the kernel may keep them.

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>
#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <vector>

#include "archive/entry.h"
#include "archive/foldertree.h"

namespace quillomar::cli {

struct MountedArchive {
    const FolderTree* tree = nullptr;
    const std::vector<ArchiveEntry>* entries = nullptr;
    int archiveFd = -1;
    struct stat archiveAtMount {};  // size and modification time when mounted
    uid_t owner = 0;
    gid_t group = 0;
    struct timespec mountTime {};  // the folders' time, and a file's whose entry has none
    // Called once, when the kernel's first request (INIT) is being answered.
    std::function<void()> ready;
    // Set at INIT when the kernel can open files and folders without asking this process: the
    // first open is then answered ENOSYS, and the kernel sends neither open nor release again.
    std::atomic<bool> opensWithoutAsking = false;

    // The archive's size or modification time is no longer what it was when mounted (or it
    // cannot be checked): its entries may lie elsewhere now.
    bool archiveChanged() const;
};

// The operations; the session's user data is the MountedArchive.
const fuse_lowlevel_ops& mountOperations();

}  // namespace quillomar::cli
