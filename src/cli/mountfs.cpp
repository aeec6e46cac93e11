#include "cli/mountfs.h"

#include <fcntl.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

#include "archive/extractcheck.h"
#include "platform/filetime.h"

namespace quillomar::cli {

namespace {

// Names and attributes never change while the archive stays as mounted: the kernel may keep them.
constexpr double kCacheSeconds = 24 * 60 * 60;
// The block size a file reports, which cp and others take as the size of their reads.
constexpr blksize_t kPreferredReadSize = 1 << 20;

MountedArchive& mounted(fuse_req_t request) { return *static_cast<MountedArchive*>(fuse_req_userdata(request)); }

std::optional<std::uint32_t> nodeOf(const MountedArchive& archive, fuse_ino_t inode) {
    if (inode == 0 || inode > archive.tree->nodes.size()) return std::nullopt;
    return static_cast<std::uint32_t>(inode - 1);
}

fuse_ino_t inodeOf(std::uint32_t node) { return fuse_ino_t{node} + 1; }

struct stat attributesOf(const MountedArchive& archive, std::uint32_t index) {
    const TreeNode& node = archive.tree->nodes[index];
    struct stat attributes {};
    attributes.st_ino = inodeOf(index);
    attributes.st_uid = archive.owner;
    attributes.st_gid = archive.group;
    attributes.st_blksize = kPreferredReadSize;
    attributes.st_mtim = archive.mountTime;
    if (node.isFolder()) {
        attributes.st_mode = S_IFDIR | 0555;
        attributes.st_nlink = 2 + node.subfolders;
    } else {
        const ArchiveEntry& entry = (*archive.entries)[node.entry];
        attributes.st_mode = S_IFREG | 0444;
        attributes.st_nlink = 1;
        attributes.st_size = static_cast<off_t>(entry.size);
        attributes.st_blocks = (attributes.st_size + 511) / 512;
        if (entry.time != kNoEntryTime) attributes.st_mtim = timespecFromFileTime(entry.time);
    }
    attributes.st_atim = attributes.st_ctim = attributes.st_mtim;
    return attributes;
}

fuse_entry_param entryOf(const MountedArchive& archive, std::uint32_t index) {
    fuse_entry_param entry{};
    entry.ino = inodeOf(index);
    entry.attr = attributesOf(archive, index);
    entry.attr_timeout = entry.entry_timeout = kCacheSeconds;
    return entry;
}

void onInit(void* userData, fuse_conn_info* connection) {
    MountedArchive& archive = *static_cast<MountedArchive*>(userData);
    // Entry data goes from the archive to the kernel without passing through this process.
    if ((connection->capable & FUSE_CAP_SPLICE_WRITE) != 0) connection->want |= FUSE_CAP_SPLICE_WRITE;
    // A file's open holds no state here: each read finds its entry by inode and checks the archive
    // itself. A kernel that can do without open and release saves two requests per file copied
    // out, one of which the copying program waits for; it keeps the pages it has read of a file
    // and the listing of a folder as keep_cache and cache_readdir keep them.
    archive.opensWithoutAsking = (connection->capable & FUSE_CAP_NO_OPEN_SUPPORT) != 0 &&
                                 (connection->capable & FUSE_CAP_NO_OPENDIR_SUPPORT) != 0;
    if (archive.ready) archive.ready();
}

void onLookup(fuse_req_t request, fuse_ino_t parent, const char* name) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> folder = nodeOf(archive, parent);
    if (!folder || !archive.tree->nodes[*folder].isFolder()) {
        fuse_reply_err(request, ENOTDIR);
        return;
    }
    if (const std::optional<std::uint32_t> child = archive.tree->find(*folder, name)) {
        const fuse_entry_param entry = entryOf(archive, *child);
        fuse_reply_entry(request, &entry);
        return;
    }
    // Inode 0: the name is absent, and the kernel may remember that as long as the others.
    fuse_entry_param absent{};
    absent.entry_timeout = kCacheSeconds;
    fuse_reply_entry(request, &absent);
}

void onGetAttributes(fuse_req_t request, fuse_ino_t inode, fuse_file_info*) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> node = nodeOf(archive, inode);
    if (!node) {
        fuse_reply_err(request, ENOENT);
        return;
    }
    const struct stat attributes = attributesOf(archive, *node);
    fuse_reply_attr(request, &attributes, kCacheSeconds);
}

void onOpen(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> node = nodeOf(archive, inode);
    if (!node) {
        fuse_reply_err(request, ENOENT);
        return;
    }
    if (archive.tree->nodes[*node].isFolder()) {
        fuse_reply_err(request, EISDIR);
        return;
    }
    if ((file->flags & O_ACCMODE) != O_RDONLY || (file->flags & O_TRUNC) != 0) {
        fuse_reply_err(request, EROFS);
        return;
    }
    if (archive.archiveChanged()) {
        fuse_reply_err(request, EIO);
        return;
    }
    if (archive.opensWithoutAsking) {
        fuse_reply_err(request, ENOSYS);
        return;
    }
    // What the kernel has read of a file stays valid as long as the archive does.
    file->keep_cache = 1;
    fuse_reply_open(request, file);
}

void onRead(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> node = nodeOf(archive, inode);
    if (!node || archive.tree->nodes[*node].isFolder()) {
        fuse_reply_err(request, node ? EISDIR : ENOENT);
        return;
    }
    // Once the archive has changed, its bytes at this entry's place may belong to another.
    if (archive.archiveChanged()) {
        fuse_reply_err(request, EIO);
        return;
    }
    const ArchiveEntry& entry = (*archive.entries)[archive.tree->nodes[*node].entry];
    const std::uint64_t length = entry.size;
    const auto from = static_cast<std::uint64_t>(std::max<off_t>(offset, 0));
    if (from >= length) {
        fuse_reply_buf(request, nullptr, 0);
        return;
    }
    // Read by the library straight from the archive at the entry's place (spliced where it can).
    fuse_bufvec data{};
    data.count = 1;
    data.buf[0].size = static_cast<size_t>(std::min<std::uint64_t>(size, length - from));
    data.buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK | FUSE_BUF_FD_RETRY);
    data.buf[0].fd = archive.archiveFd;
    data.buf[0].pos = static_cast<off_t>(entry.offset + from);
    fuse_reply_data(request, &data, fuse_buf_copy_flags{});
}

void onOpenFolder(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> node = nodeOf(archive, inode);
    if (!node || !archive.tree->nodes[*node].isFolder()) {
        fuse_reply_err(request, node ? ENOTDIR : ENOENT);
        return;
    }
    if (archive.opensWithoutAsking) {
        fuse_reply_err(request, ENOSYS);
        return;
    }
    file->keep_cache = 1;
    file->cache_readdir = 1;
    fuse_reply_open(request, file);
}

// A folder's listing from position offset: "." and "..", then its children in name order. With
// attributes (plus), the kernel needs no lookup for each name afterwards.
template <bool plus>
void onReadFolder(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*) {
    const MountedArchive& archive = mounted(request);
    const std::optional<std::uint32_t> node = nodeOf(archive, inode);
    if (!node || !archive.tree->nodes[*node].isFolder()) {
        fuse_reply_err(request, node ? ENOTDIR : ENOENT);
        return;
    }
    const std::span<const std::uint32_t> children = archive.tree->childrenOf(*node);
    std::vector<char> buffer(size);
    std::size_t used = 0;
    for (auto at = static_cast<std::size_t>(std::max<off_t>(offset, 0)); at < children.size() + 2; ++at) {
        const std::uint32_t which = at == 0 ? *node : at == 1 ? archive.tree->nodes[*node].parent : children[at - 2];
        const char* name = at == 0 ? "." : at == 1 ? ".." : archive.tree->nodes[which].name.c_str();
        const auto next = static_cast<off_t>(at + 1);
        std::size_t added = 0;
        if constexpr (plus) {
            const fuse_entry_param entry = entryOf(archive, which);
            added = fuse_add_direntry_plus(request, buffer.data() + used, size - used, name, &entry, next);
        } else {
            const struct stat attributes = attributesOf(archive, which);
            added = fuse_add_direntry(request, buffer.data() + used, size - used, name, &attributes, next);
        }
        if (added > size - used) break;
        used += added;
    }
    fuse_reply_buf(request, buffer.data(), used);
}

void onStatistics(fuse_req_t request, fuse_ino_t) {
    const MountedArchive& archive = mounted(request);
    struct statvfs statistics {};
    statistics.f_bsize = statistics.f_frsize = 4096;
    statistics.f_blocks = static_cast<fsblkcnt_t>((archive.archiveAtMount.st_size + 4095) / 4096);
    statistics.f_files = archive.tree->nodes.size();
    statistics.f_namemax = kMaxHostNameBytes;
    statistics.f_flag = ST_RDONLY;
    fuse_reply_statfs(request, &statistics);
}

// The mount is read-only, so the kernel refuses changes itself; these answer any that still come.
void refuse(fuse_req_t request) { fuse_reply_err(request, EROFS); }

fuse_lowlevel_ops makeOperations() {
    fuse_lowlevel_ops operations{};
    operations.init = onInit;
    operations.lookup = onLookup;
    operations.getattr = onGetAttributes;
    operations.open = onOpen;
    operations.read = onRead;
    operations.opendir = onOpenFolder;
    operations.readdir = onReadFolder<false>;
    operations.readdirplus = onReadFolder<true>;
    operations.statfs = onStatistics;
    operations.setattr = [](fuse_req_t r, fuse_ino_t, struct stat*, int, fuse_file_info*) { refuse(r); };
    operations.mknod = [](fuse_req_t r, fuse_ino_t, const char*, mode_t, dev_t) { refuse(r); };
    operations.mkdir = [](fuse_req_t r, fuse_ino_t, const char*, mode_t) { refuse(r); };
    operations.unlink = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
    operations.rmdir = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
    operations.symlink = [](fuse_req_t r, const char*, fuse_ino_t, const char*) { refuse(r); };
    operations.rename = [](fuse_req_t r, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned) { refuse(r); };
    operations.link = [](fuse_req_t r, fuse_ino_t, fuse_ino_t, const char*) { refuse(r); };
    operations.write = [](fuse_req_t r, fuse_ino_t, const char*, size_t, off_t, fuse_file_info*) { refuse(r); };
    operations.create = [](fuse_req_t r, fuse_ino_t, const char*, mode_t, fuse_file_info*) { refuse(r); };
    operations.setxattr = [](fuse_req_t r, fuse_ino_t, const char*, const char*, size_t, int) { refuse(r); };
    operations.removexattr = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
    operations.fallocate = [](fuse_req_t r, fuse_ino_t, int, off_t, off_t, fuse_file_info*) { refuse(r); };
    return operations;
}

}  // namespace

bool MountedArchive::archiveChanged() const {
    struct stat now {};
    if (::fstat(archiveFd, &now) != 0) return true;
    return now.st_size != archiveAtMount.st_size || now.st_mtim.tv_sec != archiveAtMount.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != archiveAtMount.st_mtim.tv_nsec;
}

const fuse_lowlevel_ops& mountOperations() {
    static const fuse_lowlevel_ops operations = makeOperations();
    return operations;
}

}  // namespace quillomar::cli
