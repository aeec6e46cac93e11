#pragma once
// Helpers of the Windows platform layer: UTF-8 and UTF-16, paths for the wide API, Win32 errors as
// errno values, and descriptors over handles. Included by src/platform/win only.

#include <windows.h>

#include <string>
#include <string_view>

namespace quillomar::win {

// UTF-8 to UTF-16; ill-formed sequences become U+FFFD.
std::wstring toWide(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view wide);

// A path for the wide file API: '/' turned into '\', and a path too long for the classic limit
// made absolute and given the "\\?\" prefix ("\\?\UNC\" for a share), so that any length works.
std::wstring widePath(std::string_view path);
// The same for a name inside a folder held by a descriptor.
std::wstring widePathIn(int folderFd, std::string_view name);

// The errno value that stands for a Win32 error code in the failure record.
int errnoFromWin32(DWORD error);
// The Win32 error code whose system text describes an errno value (0 when there is none).
DWORD win32FromErrno(int error);
// Sets errno from GetLastError() and returns the errno value.
int failFromLastError();

// A C runtime descriptor that owns handle (closing it closes the handle); -1 with errno set,
// and the handle closed, when none can be made.
int descriptorFor(HANDLE handle);
// The handle behind a descriptor, INVALID_HANDLE_VALUE for none.
HANDLE handleOf(int fd);

// This process's id and its creation time as hex: the mark of its temporary names.
const std::string& processMark();
// Whether the process pid that made a temporary with mark has ended.
bool processEnded(unsigned long pid, std::string_view mark);

}  // namespace quillomar::win
