#include "platform/folderorder.h"

#include "platform/win/widepath.h"

namespace quillomar {

std::u16string folderOrderKey(std::string_view name) {
    const std::wstring wide = win::toWide(name);
    std::u16string key(wide.begin(), wide.end());
    if (key.empty()) return key;
    // The file system's own upper-casing is one unit at a time; surrogates stay as they are.
    std::wstring upper(wide.size(), L'\0');
    const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                                     upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (length != static_cast<int>(wide.size())) return key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] < 0xD800 || key[i] > 0xDFFF) key[i] = static_cast<char16_t>(upper[i]);
    }
    return key;
}

}  // namespace quillomar
