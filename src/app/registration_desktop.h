#pragma once
// The desktop association of POD archives for one user: the desktop entry, the MIME type, the
// icon and the AppStream metainfo, written below the user's data folder ($XDG_DATA_HOME) by
// "RegServer" and removed by "UnregServer". The files are those that `cmake --install` puts in a
// prefix, except that the desktop entry starts the program by its full path.

#include <string>
#include <vector>

namespace quillomar {

struct DesktopFile {
    std::string relativePath;  // below the data folder, e.g. "applications/quillomar.desktop"
    std::string contents;
};

// The files for a program at programPath, in the order they are installed (the desktop entry
// last, so it never names an icon or a type that is not there yet).
std::vector<DesktopFile> desktopFiles(const std::string& programPath);

// The value of an Exec key that starts programPath with one file argument: the path quoted as
// the desktop entry rules require when it holds a reserved character, then escaped as a string
// value. Empty when the path is not valid UTF-8 or holds a control character other than tab and
// line feed.
std::string desktopExecValue(const std::string& programPath);

// Writes every file (each atomically, folders created as needed). Returns 0 or an errno value;
// on failure the files written so far are removed again.
int installDesktopFiles(const std::string& dataHome, const std::string& programPath);

// Removes the files, then the folders they were in when that leaves them empty (never the data
// folder itself). A file already gone is not an error. Returns 0 or an errno value.
int removeDesktopFiles(const std::string& dataHome);

// The folders whose caches the desktop keeps: "mime" (update-mime-database) and
// "applications" (update-desktop-database).
inline constexpr const char* kMimeFolder = "mime";
inline constexpr const char* kApplicationsFolder = "applications";

}  // namespace quillomar
