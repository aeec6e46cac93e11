#pragma once
// The desktop integration files, built into the program from data/ so that "RegServer" can
// install them for the user wherever the program runs from. The definitions are generated at
// build time (cmake/embed-files.cmake).

#include <span>
#include <string_view>

namespace quillomar {

struct EmbeddedFile {
    std::string_view name;  // the file's name in data/ (icons: "quillomar-SIZE.png", "quillomar.svg")
    std::string_view data;
};

std::span<const EmbeddedFile> embeddedFiles();

// The file's contents; empty when there is no file of that name.
std::string_view embeddedFile(std::string_view name);

}  // namespace quillomar
