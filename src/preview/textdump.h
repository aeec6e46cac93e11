#pragma once
// An entry's first bytes as text to read, or as a hex dump.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "platform/codepage.h"

namespace quillomar {

// Whether the entry goes on past bytes: a character cut at the end is then left out.
enum class Cut { No, Yes };

// bytes as UTF-8 text, or nullopt when they do not read as text: a NUL, or more than one byte in
// fifty a control character other than tab, line feed, carriage return, form feed and end of file
// (0x1A). Valid UTF-8 is kept as it is (a leading byte-order mark dropped); other bytes are taken
// as text in codePage, where characters it leaves undefined count as control characters.
std::optional<std::string> textFromBytes(std::span<const std::byte> bytes, Cut cut, const CodePage& codePage);

// bytes as lines "OOOOOOOO  hh hh hh hh hh hh hh hh  hh hh hh hh hh hh hh hh  cccccccccccccccc\n":
// the offset in hex, 16 bytes in hex (the last line padded with blanks) and each byte's character
// in codePage, '.' for a control character, a blank-like one or one the code page leaves undefined.
std::string hexDump(std::span<const std::byte> bytes, const CodePage& codePage);

}  // namespace quillomar
