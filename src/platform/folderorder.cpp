#include "platform/folderorder.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace quillomar {

std::u16string folderOrderKey(std::string_view name) {
    std::u16string key(name.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(key.data()), static_cast<int32_t>(key.size()), &length, name.data(),
                         static_cast<int32_t>(name.size()), 0xFFFD, nullptr, &status);
    key.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    for (char16_t& unit : key) {
        if (!U16_IS_SURROGATE(unit)) unit = static_cast<char16_t>(u_toupper(unit));
    }
    return key;
}

}  // namespace quillomar
