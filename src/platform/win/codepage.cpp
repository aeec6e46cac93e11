// Code pages by the system's own tables: MultiByteToWideChar gives each byte's character, and
// upper- and lower-casing are the system's simple case mappings kept within the code page.

#include "platform/codepage.h"

#include <algorithm>

#include "platform/win/widepath.h"

namespace quillomar {

namespace {

// The simple case mapping of one character (flag LCMAP_UPPERCASE or LCMAP_LOWERCASE); the
// character itself when it has none.
char32_t mapCase(char32_t character, DWORD flag) {
    if (character > 0xFFFF) return character;
    wchar_t in = static_cast<wchar_t>(character);
    wchar_t out = in;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, flag, &in, 1, &out, 1, nullptr, nullptr, 0) != 1) return character;
    return out;
}

}  // namespace

std::optional<CodePage> CodePage::load(int number) {
    if (number < 1250 || number > 1258 || !IsValidCodePage(static_cast<UINT>(number))) return std::nullopt;
    CodePage page;
    page.number_ = number;
    for (int byte = 0; byte < 256; ++byte) {
        const char in = static_cast<char>(byte);
        wchar_t out[2] = {};
        const int length = MultiByteToWideChar(static_cast<UINT>(number), MB_ERR_INVALID_CHARS, &in, 1, out, 2);
        // Undefined bytes keep their own value as a code point, so names holding them still
        // convert both ways (the C1 controls are not used otherwise by these code pages).
        char32_t cp = static_cast<char32_t>(byte);
        if (length == 1 && (out[0] < 0xD800 || out[0] > 0xDFFF)) cp = out[0];
        page.toUnicode_[static_cast<std::size_t>(byte)] = cp;
    }
    for (int byte = 0; byte < 256; ++byte) {
        page.fromUnicode_.emplace_back(page.toUnicode_[static_cast<std::size_t>(byte)],
                                       static_cast<unsigned char>(byte));
    }
    std::sort(page.fromUnicode_.begin(), page.fromUnicode_.end());
    for (int byte = 0; byte < 256; ++byte) {
        const auto self = static_cast<unsigned char>(byte);
        const std::optional<char> upper = page.byteOf(mapCase(page.toUnicode_[self], LCMAP_UPPERCASE));
        const std::optional<char> lower = page.byteOf(mapCase(page.toUnicode_[self], LCMAP_LOWERCASE));
        page.upper_[self] = upper ? static_cast<unsigned char>(*upper) : self;
        page.lower_[self] = lower ? static_cast<unsigned char>(*lower) : self;
    }
    return page;
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (char c : bytes) wide.push_back(static_cast<wchar_t>(toUnicode_[static_cast<unsigned char>(c)]));
    return win::toUtf8(wide);
}

std::optional<std::string> CodePage::fromUtf8(std::string_view utf8) const {
    if (utf8.empty()) return std::string();
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;  // not UTF-8
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    // The table, not WideCharToMultiByte, decides: the system would store a best-fit look-alike or
    // a default character for what the code page lacks, and undefined bytes must come back as
    // they went in.
    std::string out;
    out.reserve(wide.size());
    for (wchar_t unit : wide) {
        if (unit >= 0xD800 && unit <= 0xDFFF) return std::nullopt;  // beyond the code page
        const std::optional<char> byte = byteOf(unit);
        if (!byte) return std::nullopt;
        out.push_back(*byte);
    }
    return out;
}

std::string contentLogLine(std::string_view path) {
    const CodePage& page = archiveCodePage();
    std::string line;
    line.reserve(path.size());
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t from = at;
        const std::int32_t character = nextUtf8(path, at);
        if (character == '/') {
            line.push_back('\\');
            continue;
        }
        const std::optional<std::string> bytes =
            character < 0 ? std::nullopt : page.fromUtf8(path.substr(from, at - from));
        line += bytes ? *bytes : std::string("?");
    }
    return line;
}

std::string displayPath(std::string_view path) {
    // The system's decoder puts U+FFFD for every ill-formed sequence.
    return win::toUtf8(win::toWide(path));
}

}  // namespace quillomar

namespace quillomar {

char32_t upperCase(char32_t character) { return mapCase(character, LCMAP_UPPERCASE); }

std::int32_t nextUtf8(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    ++at;
    if (lead < 0x80) return lead;
    int more = 0;
    char32_t character = 0;
    char32_t low = 0x80;  // the smallest lower bound of the second byte
    char32_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        character = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        character = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return -1;
    }
    for (int i = 0; i < more; ++i) {
        if (at >= text.size()) return -1;
        const unsigned char next = byte(at);
        if (next < (i == 0 ? low : 0x80) || next > (i == 0 ? high : 0xBF)) return -1;
        character = (character << 6) | (next & 0x3F);
        ++at;
    }
    return static_cast<std::int32_t>(character);
}

}  // namespace quillomar
