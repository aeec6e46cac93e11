// Replacing a file on Windows: links are not followed (the replace check refuses a reparse point),
// the folder's own access decides when the file is made, and the new file keeps the default
// permissions of its folder, as files do there.

#include "platform/inplace.h"

namespace quillomar {

Result<std::string> linkTarget(const std::string& path) { return path; }

Failure checkFolderWritable(const std::string& folder, const std::string& path) {
    static_cast<void>(folder);
    static_cast<void>(path);
    return {};
}

Failure copyPermissions(const std::string& from, File& file) {
    static_cast<void>(from);
    static_cast<void>(file);
    return {};
}

}  // namespace quillomar
