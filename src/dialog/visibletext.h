#pragma once
// Text from an archive as a control shows it: a control character cannot be seen, and a line
// break or tab would reshape the cell or the box it stands in, so each is shown as a visible
// placeholder. C0 controls and DEL take their Unicode control pictures (U+2400 to U+241F, U+2421:
// ESC shows as "␛", a line break as "␊"); the C1 controls U+0080 to U+009F, which have no
// picture, show as the replacement character "�". Everything else passes unchanged.

#include <string>
#include <string_view>

namespace quillomar {

inline std::string visibleText(std::string_view utf8) {
    auto appendPicture = [](std::string& out, unsigned code) {
        // U+2400 + code in UTF-8: E2 90 80+code (code below 0x40).
        out.push_back(static_cast<char>(0xE2));
        out.push_back(static_cast<char>(0x90));
        out.push_back(static_cast<char>(0x80 + code));
    };
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        if (byte < 0x20) {
            appendPicture(out, byte);
        } else if (byte == 0x7F) {
            appendPicture(out, 0x21);
        } else if (byte == 0xC2 && at + 1 < utf8.size() && static_cast<unsigned char>(utf8[at + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[at + 1]) <= 0x9F) {
            out.append("\xEF\xBF\xBD");
            ++at;
        } else {
            out.push_back(utf8[at]);
        }
    }
    return out;
}

}  // namespace quillomar
