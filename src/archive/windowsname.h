#pragma once
// The names Windows cannot keep as a file or folder of that name, whatever system checks them:
// extraction on Windows refuses them, verify reports them there, and pack warns about them on
// any system, since a Windows user could not extract them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry.h"

namespace quillomar {

enum class WindowsNameFault {
    Device,              // CON, NUL, COM1 and the like, with any extension, in any case
    Stream,              // holds ':', which names a stream of another file
    ForbiddenCharacter,  // holds one of " < > | * ? or a control character
    EndsInDotOrBlank,    // the system drops a trailing dot or blank, so the name cannot be opened again
};

// Whether the names extraction creates here must be ones Windows can keep, and whether names
// equal but for case land on one file.
#ifdef _WIN32
inline constexpr bool kHostHasWindowsNames = true;
#else
inline constexpr bool kHostHasWindowsNames = false;
#endif

// The fault of one file or folder name (UTF-8 or code-page bytes; "." and ".." are no names and
// have none).
std::optional<WindowsNameFault> windowsNameFault(std::string_view component);

struct WindowsNameProblem {
    WindowsNameFault fault;
    std::string component;  // the name at fault, UTF-8
};

// The first component of a stored name (code-page bytes, '\' or '/' between components) that
// Windows cannot keep. A drive designator at the start is no component: it is refused as an
// unsafe name instead.
std::optional<WindowsNameProblem> findWindowsNameProblem(std::string_view stored);

// Why, in words: "\"F \" ends in a blank or a dot, which Windows drops".
std::string describeWindowsNameProblem(const WindowsNameProblem& problem);

struct WindowsNameWarning {
    std::string path;  // relative to the packed folder, as found ('/' separators)
    std::string why;
};

// The files to be packed whose stored names a Windows user could not extract (each files[i].name
// a host path whose first prefixLength bytes are the packed folder and its separator). Files
// whose names cannot be stored at all are left to the writer's checks.
std::vector<WindowsNameWarning> findWindowsNameWarnings(const std::vector<SourceFile>& files,
                                                        std::int32_t prefixLength);

}  // namespace quillomar
