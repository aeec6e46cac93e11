#pragma once
#include <string>
#include <string_view>

namespace quillomar {

struct PathParts {
    std::string drive;      // "X:" when the second character is a colon
    std::string folder;     // up to and including the last '\' or '/'
    std::string name;       // up to the last dot of the rest
    std::string extension;  // from that dot on, dot included
};

// Splits a path as the C runtime's _splitpath does; each part is cut to 255 characters.
PathParts splitPath(std::string_view path);

// Creates a folder and its missing ancestors ('/' separates). 0 when path already exists,
// else 1 when the last folder was created and 0 when it could not be (errno set).
int createDirectoryPath(const std::string& path);

}  // namespace quillomar
