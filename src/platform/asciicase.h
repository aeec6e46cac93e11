#pragma once
// ASCII letters without regard to case: how registry names, the command-line switches and the
// ".pod" suffix compare. Bytes beyond ASCII are left as they are, so they never equal a letter.

#include <string_view>

namespace quillomar {

constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Negative, zero or positive as a sorts before, with or after b (bytes compared unsigned after
// upper-casing; a prefix sorts first).
constexpr int compareIgnoringAsciiCase(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto ca = static_cast<unsigned char>(asciiUpper(a[i]));
        const auto cb = static_cast<unsigned char>(asciiUpper(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return compareIgnoringAsciiCase(a, b) == 0;
}

constexpr bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace quillomar
