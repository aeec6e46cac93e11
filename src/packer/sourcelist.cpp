#include "packer/sourcelist.h"

#include <algorithm>
#include <utility>

#include "platform/filesystem.h"
#include "platform/folderorder.h"
#include "platform/messages.h"

namespace quillomar {

namespace {

struct ListedItem {
    std::string name;
    std::u16string key;  // folderOrderKey(name)
    FileStatus status;
    bool isFolder = false;
};

class Scanner {
public:
    Scanner(SourceList& list, ProgressSink* progress, const ScanFilter& skip, UnlistedFolders unlisted)
        : list_(list), progress_(progress), skip_(skip), unlisted_(unlisted) {}

    void visit(const std::string& path, const std::string& relative) {
        if (progress_ != nullptr) progress_->step();
        FolderListing listing = listFolder(path);
        if (listing.error != 0) {
            // The files of a sub-folder that cannot be listed would be missing from the archive
            // without a word; a dropped folder that cannot be listed shows as empty instead.
            if (depth_ > 0 || unlisted_ == UnlistedFolders::Kept) shown(Failure::system(listing.error, path));
            return;
        }
        onPath_.push_back(listing.self);

        std::vector<ListedItem> items;
        items.reserve(listing.items.size());
        for (FolderItem& listed : listing.items) {
            // A dangling link is kept with its own status and fails when it is read.
            ListedItem item;
            item.isFolder = listed.status.kind == FileKind::Folder;
            item.key = folderOrderKey(listed.name);
            item.name = std::move(listed.name);
            item.status = listed.status;
            items.push_back(std::move(item));
        }
        // Why an entry could not be examined, reported once for the folder.
        if (listing.unreachable != 0) shown(Failure::system(listing.unreachable, path));
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
                if (std::find(onPath_.begin(), onPath_.end(), item.status.id) != onPath_.end()) {
                    continue;
                }
                ++list_.subfolderCount;
                ++depth_;
                visit(child, childRelative);
                --depth_;
            } else if (item.status.kind == FileKind::Regular || item.status.kind == FileKind::Link) {
                // Pipes, sockets and devices hold no file data.
                SourceFile file;
                file.name = std::move(child);
                file.diskSize = item.status.size;
                file.size = static_cast<std::uint32_t>(file.diskSize);
                file.time = item.status.modified;
                list_.totalBytes += file.size;
                list_.largestSize = std::max(list_.largestSize, file.size);
                list_.files.push_back(std::move(file));
            }
        }
        onPath_.pop_back();
    }

private:
    void shown(Failure failure) {
        if (unlisted_ == UnlistedFolders::Kept) {
            list_.unlisted.push_back(failure);
        } else {
            report(failure);
        }
        if (!list_.failure.failed()) list_.failure = std::move(failure);
    }

    SourceList& list_;
    ProgressSink* progress_;
    const ScanFilter& skip_;
    UnlistedFolders unlisted_;
    std::vector<FileId> onPath_;
    int depth_ = 0;
};

}  // namespace

void SourceList::resetScan(const std::string& folder) {
    files.clear();
    totalBytes = 0;
    subfolderCount = 0;
    largestSize = 0;
    failure = {};
    unlisted.clear();
    // Names below the folder are the folder, one '/' (the scan adds none after one already
    // there), and the path below it.
    const bool endsWithSeparator = !folder.empty() && folder.back() == '/';
    prefixLength = static_cast<std::int32_t>(folder.size()) + (endsWithSeparator ? 0 : 1);
}

void SourceList::scanFolder(const std::string& folder, ProgressSink* progress, const ScanFilter& skip,
                            UnlistedFolders unlistedFolders) {
    Scanner(*this, progress, skip, unlistedFolders).visit(folder, {});
}

}  // namespace quillomar
