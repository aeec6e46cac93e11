#pragma once
// Replacing a file with a new version of itself: which file a path really is, whether its folder
// takes a new file, and the old file's permissions on the new one.

#include <string>

#include "platform/failure.h"
#include "platform/fileio.h"

namespace quillomar {

// The file path stands for: path itself, or where its symbolic links lead when it is one, so
// that the file is replaced and the link kept. A record naming path when a link leads nowhere.
[[nodiscard]] Result<std::string> linkTarget(const std::string& path);

// Whether a new file may be made in folder: an empty record, else EACCES (or the system's own
// error) naming path - judged by the folder's mode bits as well, so that root does not write into
// a read-only folder either.
[[nodiscard]] Failure checkFolderWritable(const std::string& folder, const std::string& path);

// Gives file the permission bits of the file at from (and its owner and group where this user may
// set them): an empty record, or the failing call's naming from.
[[nodiscard]] Failure copyPermissions(const std::string& from, File& file);

}  // namespace quillomar
