#pragma once
// An exclusive lock on a folder among the processes that take it the same way, so that what they
// keep in it is read and written by one at a time, and no lock file is left behind. POSIX systems
// only (the desktop's registration is its one user).

#include <string>

#include "platform/failure.h"
#include "platform/filesystem.h"

namespace quillomar {

// Opens the folder at path and waits for its lock, which is held until the handle closes. A
// failure names path.
Result<FolderHandle> lockFolder(const std::string& path);

}  // namespace quillomar
