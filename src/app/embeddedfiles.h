#pragma once
// Files built into the program from data/: the desktop integration files, which "RegServer"
// installs wherever the program runs from, and icon 207 at every size. The definitions are
// generated at build time (cmake/embed-files.cmake).

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

// The sizes, in pixels, at which icon 207 is rendered and built in; the build sets them once.
inline constexpr int kIconSizes[] = {QUILLOMAR_ICON_SIZES};

}  // namespace quillomar
