#include "packer/sourcelist.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "platform/folderorder.h"
#include "platform/messages.h"

namespace quillomar {

namespace {

struct ListedItem {
    std::string name;
    std::u16string key;  // folderOrderKey(name)
    struct stat st {};
    bool isFolder = false;
};

using FolderId = std::pair<dev_t, ino_t>;

class Scanner {
public:
    Scanner(SourceList& list, ProgressSink* progress, const ScanFilter& skip)
        : list_(list), progress_(progress), skip_(skip) {}

    void visit(const std::string& path, const std::string& relative) {
        if (progress_ != nullptr) progress_->step();
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) {
            // The files of a sub-folder that cannot be listed would be missing from the archive
            // without a word; a dropped folder that cannot be listed shows as empty instead.
            if (depth_ > 0) shown(Failure::system(errno, path));
            return;
        }
        struct stat self {};
        if (::fstat(::dirfd(dir), &self) == 0) onPath_.emplace_back(self.st_dev, self.st_ino);

        std::vector<ListedItem> items;
        int unreachable = 0;  // why an entry could not be examined, reported once for the folder
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            ListedItem item;
            item.name = std::move(name);
            // Links are followed; a dangling link keeps its own status and fails when it is read.
            if (::fstatat(::dirfd(dir), item.name.c_str(), &item.st, 0) != 0 &&
                ::fstatat(::dirfd(dir), item.name.c_str(), &item.st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (unreachable == 0) unreachable = errno;
                continue;
            }
            item.isFolder = S_ISDIR(item.st.st_mode);
            item.key = folderOrderKey(item.name);
            items.push_back(std::move(item));
        }
        ::closedir(dir);
        if (unreachable != 0) shown(Failure::system(unreachable, path));
        std::sort(items.begin(), items.end(), [](const ListedItem& a, const ListedItem& b) {
            return a.key != b.key ? a.key < b.key : a.name < b.name;
        });

        for (const ListedItem& item : items) {
            std::string child = path;
            if (child.empty() || child.back() != '/') child.push_back('/');
            child += item.name;
            const std::string childRelative = relative.empty() ? item.name : relative + "/" + item.name;
            if (skip_ && skip_(childRelative, item.isFolder)) continue;
            if (item.isFolder) {
                // A link back to a folder on the current path would never end.
                if (std::find(onPath_.begin(), onPath_.end(), FolderId{item.st.st_dev, item.st.st_ino}) !=
                    onPath_.end()) {
                    continue;
                }
                ++list_.subfolderCount;
                ++depth_;
                visit(child, childRelative);
                --depth_;
            } else if (S_ISREG(item.st.st_mode) || S_ISLNK(item.st.st_mode)) {
                // Pipes, sockets and devices hold no file data.
                SourceFile file;
                file.name = std::move(child);
                file.diskSize = S_ISREG(item.st.st_mode) ? static_cast<std::uint64_t>(item.st.st_size) : 0;
                file.size = static_cast<std::uint32_t>(file.diskSize);
                file.time = fileTimeFromTimespec(item.st.st_mtim);
                list_.totalBytes += file.size;
                list_.largestSize = std::max(list_.largestSize, file.size);
                list_.files.push_back(std::move(file));
            }
        }
        if (!onPath_.empty() && onPath_.back() == FolderId{self.st_dev, self.st_ino}) onPath_.pop_back();
    }

private:
    void shown(Failure failure) {
        report(failure);
        if (!list_.failure.failed()) list_.failure = std::move(failure);
    }

    SourceList& list_;
    ProgressSink* progress_;
    const ScanFilter& skip_;
    std::vector<FolderId> onPath_;
    int depth_ = 0;
};

}  // namespace

void SourceList::resetScan(const std::string& folder) {
    files.clear();
    totalBytes = 0;
    subfolderCount = 0;
    largestSize = 0;
    failure = {};
    // Names below the folder are the folder, one '/' (the scan adds none after one already
    // there), and the path below it.
    const bool endsWithSeparator = !folder.empty() && folder.back() == '/';
    prefixLength = static_cast<std::int32_t>(folder.size()) + (endsWithSeparator ? 0 : 1);
}

void SourceList::scanFolder(const std::string& folder, ProgressSink* progress, const ScanFilter& skip) {
    Scanner(*this, progress, skip).visit(folder, {});
}

}  // namespace quillomar
