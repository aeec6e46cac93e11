#pragma once
#include <cstddef>
#include <string>

#include "platform/failure.h"

namespace quillomar {

// The user's private folder for temporary copies: "quillomar-UID" under $XDG_RUNTIME_DIR, else
// $TMPDIR, else /tmp; created with mode 0700 when missing. A failure naming the folder when it
// cannot be created, or when what is there is not a real folder owned by this user and closed to
// others (EACCES).
Result<std::string> privateTempFolder();

// The name prefix of a sub-folder of the private folder made by this process: "archive-PID-MARK-",
// the process's id and start time (processMark), so that those of a process that has ended can be
// told from those of a running one, even once its id has been given to another.
std::string temporaryFolderPrefix();
// Whose sub-folders of the private folder removeTemporaryFolders removes.
enum class TemporaryFoldersOf {
    EndedProcesses,  // what processes of this user that no longer exist left behind
    ThisProcess,     // this process's own, as it ends
};
// Removes those sub-folders; returns how many were removed.
std::size_t removeTemporaryFolders(TemporaryFoldersOf whose);
// Removes a folder and everything below it without following links.
void removeTree(const std::string& folder);

}  // namespace quillomar
