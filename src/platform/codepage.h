#pragma once
// Single-byte Windows code page in which an archive keeps its names and header texts.
// Host paths and the user interface are UTF-8; text crosses into the archive only here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillomar {

class CodePage {
public:
    // One of the Windows single-byte code pages 1250-1258; nullopt for any other number.
    static std::optional<CodePage> load(int number);

    int number() const { return number_; }

    // Each byte becomes its character; never fails.
    std::string toUtf8(std::string_view bytes) const;

    // nullopt when the text is not valid UTF-8 or holds a character the code page cannot hold.
    std::optional<std::string> fromUtf8(std::string_view utf8) const;

    // Upper-casing within the code page: a byte's character is upper-cased when the upper-case
    // character exists in the code page (e -> E, e-acute -> E-acute, y-diaeresis -> Y-diaeresis), else kept.
    char upper(char byte) const { return static_cast<char>(upper_[static_cast<unsigned char>(byte)]); }
    std::string upper(std::string_view bytes) const;
    // Lower-casing the same way: a byte's character lower-cased when the result exists in the
    // code page (E-acute -> e-acute), else kept.
    char lower(char byte) const { return static_cast<char>(lower_[static_cast<unsigned char>(byte)]); }
    std::string lower(std::string_view bytes) const;

    // The character a byte stands for.
    char32_t toUnicode(char byte) const { return toUnicode_[static_cast<unsigned char>(byte)]; }
    // The byte standing for a character; nullopt when the code page lacks it.
    std::optional<char> byteOf(char32_t character) const;

private:
    CodePage() = default;

    int number_ = 0;
    std::array<char32_t, 256> toUnicode_{};
    std::array<unsigned char, 256> upper_{};
    std::array<unsigned char, 256> lower_{};
    std::vector<std::pair<char32_t, unsigned char>> fromUnicode_;  // sorted by code point
};

// A host path (bytes, usually UTF-8) as text to show: every byte sequence that is no valid UTF-8
// becomes U+FFFD. For display only: the path itself is kept as its bytes.
std::string displayPath(std::string_view path);

// A host path as a line of the content log. Linux keeps the path's bytes; Windows writes '\'
// between folders and the archive code page's bytes, a character the code page cannot hold as '?',
// as Windows' own programs write such a list.
std::string contentLogLine(std::string_view path);

// The character's simple upper-case mapping (one character to one), itself when it has none.
char32_t upperCase(char32_t character);
// Decodes the UTF-8 character at text[at] and moves at past it; -1 for an ill-formed sequence
// (overlong, surrogate, beyond U+10FFFF, cut short), with at past its longest well-formed part.
std::int32_t nextUtf8(std::string_view text, std::size_t& at);

// The code page of archive texts for this process: 1252 unless changed.
const CodePage& archiveCodePage();
// false (and nothing changed) for a number that is no supported code page.
bool setArchiveCodePage(int number);
// The number QUILLOMAR_CODEPAGE names, else 1252; nullopt when the variable holds no supported number.
std::optional<int> codePageFromEnvironment();

}  // namespace quillomar
