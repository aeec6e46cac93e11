#include "preview/textdump.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quillomar {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Control characters that plain text holds: tab, line feed, form feed, carriage return, and the
// end-of-file mark DOS editors left at the end.
bool textControl(char32_t c) { return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x1A; }

bool control(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// A text holds no NUL and at most one control character in fifty.
class ControlCount {
public:
    // false once the character rules the text out.
    bool add(char32_t c) {
        ++characters_;
        if (c == 0) return false;
        if (control(c) && !textControl(c)) ++controls_;
        return true;
    }
    bool text() const { return controls_ * 50 <= characters_; }

private:
    std::uint64_t characters_ = 0;
    std::uint64_t controls_ = 0;
};

// The length of the UTF-8 sequence led by lead; 0 for a byte that leads none.
std::size_t sequenceLength(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The range the byte after lead must lie in (overlong forms, surrogates and code points beyond
// U+10FFFF excluded); the bytes after that lie in 0x80-0xBF.
std::pair<std::uint8_t, std::uint8_t> secondByteRange(std::uint8_t lead) {
    switch (lead) {
        case 0xE0:
            return {0xA0, 0xBF};
        case 0xED:
            return {0x80, 0x9F};
        case 0xF0:
            return {0x90, 0xBF};
        case 0xF4:
            return {0x80, 0x8F};
        default:
            return {0x80, 0xBF};
    }
}

enum class Utf8 { Valid, Cut, Invalid };

// Decodes the sequence at bytes[at]: its character and length, Cut when bytes end inside a
// sequence that is well formed so far.
Utf8 decodeUtf8(std::span<const std::uint8_t> bytes, std::size_t at, char32_t& character, std::size_t& length) {
    const std::uint8_t lead = bytes[at];
    length = sequenceLength(lead);
    if (length == 0) return Utf8::Invalid;
    if (length == 1) {
        character = lead;
        return Utf8::Valid;
    }
    character = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) return Utf8::Cut;
        const std::uint8_t next = bytes[at + i];
        const auto [low, high] = i == 1 ? secondByteRange(lead) : std::pair<std::uint8_t, std::uint8_t>{0x80, 0xBF};
        if (next < low || next > high) return Utf8::Invalid;
        character = (character << 6) | (next & 0x3F);
    }
    return Utf8::Valid;
}

std::span<const std::uint8_t> asUnsigned(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::optional<std::string> utf8Text(std::span<const std::uint8_t> bytes, Cut cut) {
    ControlCount count;
    std::size_t at = 0;
    while (at < bytes.size()) {
        char32_t character = 0;
        std::size_t length = 0;
        const Utf8 state = decodeUtf8(bytes, at, character, length);
        if (state == Utf8::Cut && cut == Cut::Yes) break;  // the rest of it lies past what was read
        if (state != Utf8::Valid || !count.add(character)) return std::nullopt;
        at += length;
    }
    if (!count.text()) return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), at);
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return std::string(text);
}

std::optional<std::string> codePageText(std::span<const std::uint8_t> bytes, const CodePage& codePage) {
    ControlCount count;
    for (std::uint8_t byte : bytes) {
        if (!count.add(codePage.toUnicode(static_cast<char>(byte)))) return std::nullopt;
    }
    if (!count.text()) return std::nullopt;
    return codePage.toUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// What the dump's character column shows for each byte: '.' for controls, blanks that would hide
// the column's width (no-break space, soft hyphen) and bytes the code page leaves undefined.
std::array<std::string, 256> dumpCharacters(const CodePage& codePage) {
    std::array<std::string, 256> shown;
    for (std::size_t byte = 0; byte < shown.size(); ++byte) {
        const char32_t c = codePage.toUnicode(static_cast<char>(byte));
        if (control(c) || c == 0xA0 || c == 0xAD) {
            shown[byte].push_back('.');
        } else {
            appendUtf8(shown[byte], c);
        }
    }
    return shown;
}

}  // namespace

std::optional<std::string> textFromBytes(std::span<const std::byte> bytes, Cut cut, const CodePage& codePage) {
    const std::span<const std::uint8_t> raw = asUnsigned(bytes);
    if (std::optional<std::string> text = utf8Text(raw, cut)) return text;
    return codePageText(raw, codePage);
}

std::string hexDump(std::span<const std::byte> bytes, const CodePage& codePage) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    constexpr std::size_t kPerLine = 16;
    const std::array<std::string, 256> characters = dumpCharacters(codePage);
    const std::span<const std::uint8_t> raw = asUnsigned(bytes);

    std::string out;
    out.reserve((raw.size() / kPerLine + 1) * 80);
    for (std::size_t line = 0; line < raw.size(); line += kPerLine) {
        for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(line >> shift) & 0xF]);
        out += "  ";
        for (std::size_t i = 0; i < kPerLine; ++i) {
            if (line + i < raw.size()) {
                out.push_back(kDigits[raw[line + i] >> 4]);
                out.push_back(kDigits[raw[line + i] & 0xF]);
                out.push_back(' ');
            } else {
                out += "   ";
            }
            if (i == kPerLine / 2 - 1) out.push_back(' ');
        }
        out.push_back(' ');
        for (std::size_t i = line; i < raw.size() && i < line + kPerLine; ++i) out += characters[raw[i]];
        out.push_back('\n');
    }
    return out;
}

}  // namespace quillomar
