#pragma once
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace quillomar {

struct PathParts {
    std::string drive;      // "X:" when the second character is a colon
    std::string folder;     // up to and including the last '\' or '/'
    std::string name;       // up to the last dot of the rest
    std::string extension;  // from that dot on, dot included
};

// Splits a path as the C runtime's _splitpath does; each part is cut to 255 characters.
PathParts splitPath(std::string_view path);

enum class FolderCreation { AlreadyThere, Created };

// Creates a folder and its missing ancestors ('/' separates): AlreadyThere when path is a folder
// already, Created when this call made it, else the failure (ENOTDIR when something other than a
// folder stands at path or at one of its ancestors).
[[nodiscard]] Result<FolderCreation> createDirectoryPath(const std::string& path);

}  // namespace quillomar
