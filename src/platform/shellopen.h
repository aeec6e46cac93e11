#pragma once
// The desktop's "open" for a file: the program associated with its type starts with it. On Windows
// the shell does it (ShellExecuteW); the Linux window program asks its toolkit instead.

#include <string>

#include "platform/failure.h"

namespace quillomar {

// An empty record once the program was started; message 105 when no program is associated with
// the file's type, else the system's error with the path.
Failure openWithAssociatedProgram(const std::string& path);

}  // namespace quillomar
