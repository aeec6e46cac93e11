#pragma once
#include <string>

namespace quillomar {

// The C library's text for an errno value, in the user's language where the C library has it.
std::string systemErrorText(int error);

}  // namespace quillomar
