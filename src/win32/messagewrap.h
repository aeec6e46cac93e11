#pragma once
// Message boxes break lines only at blanks, so a long path would make a box wider than the
// screen. Before a text is shown, every line longer than a box should be is broken: after a path
// separator where there is one in reach, else after the last character that fits.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillomar::win32 {

// Characters (UTF-8 sequences) a line of a message box holds at most.
inline constexpr std::size_t kMessageLineLength = 80;

std::string wrapMessageText(std::string_view text, std::size_t lineLength = kMessageLineLength);

}  // namespace quillomar::win32
