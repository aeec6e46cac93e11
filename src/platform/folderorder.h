#pragma once
// The order in which the Windows file system lists a folder, which the scan reproduces so that the
// same folder always gives the same archive: names compared unit by unit as UTF-16 after
// upper-casing each unit on its own (surrogates unchanged).

#include <string>
#include <string_view>

namespace quillomar {

// The key whose order (std::u16string's comparison) is the listing order. name is UTF-8; a byte
// sequence that is no UTF-8 counts as U+FFFD. Names with equal keys keep no particular order:
// callers break ties by the names' bytes.
std::u16string folderOrderKey(std::string_view name);

}  // namespace quillomar
