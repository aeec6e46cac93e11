#pragma once
#include <optional>
#include <string>

namespace quillomar {

// The user's private folder for temporary copies: "quillomar-UID" under $XDG_RUNTIME_DIR, else
// $TMPDIR, else /tmp; created with mode 0700 when missing. nullopt (errno set) when it cannot be
// created, or when what is there is not a real folder owned by this user and closed to others.
std::optional<std::string> privateTempFolder();
// Where privateTempFolder() puts the folder, for messages.
std::string privateTempFolderPath();

}  // namespace quillomar
