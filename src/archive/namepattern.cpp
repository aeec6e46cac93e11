#include "archive/namepattern.h"

#include <cstdint>
#include <optional>

#include "platform/codepage.h"

namespace quillomar {

namespace {

constexpr char32_t kSeparator = U'\\';
constexpr char32_t kInvalidByteBase = 0xDC00;  // lone bytes of invalid UTF-8 become U+DC80..U+DCFF

char32_t keyCharacter(const CodePage& page, char32_t character) {
    if (character == U'/') return kSeparator;
    if (const std::optional<char> byte = page.byteOf(character)) return page.toUnicode(page.upper(*byte));
    return upperCase(character);
}

// The components of a key, empty ones (doubled, leading or trailing separators) left out.
std::vector<std::u32string_view> splitKey(std::u32string_view key) {
    std::vector<std::u32string_view> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find(kSeparator, start);
        if (end == std::u32string_view::npos) end = key.size();
        if (end > start) parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The set starting at pattern[at] == '['. Sets matched to whether c is in it and returns the
// position after the closing ']', or nullopt when there is no closing bracket (the '[' is then
// an ordinary character).
std::optional<std::size_t> matchSet(std::u32string_view pattern, std::size_t at, char32_t c, bool& matched) {
    std::size_t i = at + 1;
    bool negate = false;
    if (i < pattern.size() && (pattern[i] == U'!' || pattern[i] == U'^')) {
        negate = true;
        ++i;
    }
    bool inSet = false;
    bool first = true;
    while (i < pattern.size() && (first || pattern[i] != U']')) {
        first = false;
        char32_t low = pattern[i];
        char32_t high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == U'-' && pattern[i + 2] != U']') {
            high = pattern[i + 2];
            i += 3;
        } else {
            i += 1;
        }
        if (low <= c && c <= high) inSet = true;
    }
    if (i >= pattern.size()) return std::nullopt;
    matched = inSet != negate;
    return i + 1;
}

}  // namespace

NameKey nameKeyOfStored(std::string_view stored) {
    const CodePage& page = archiveCodePage();
    NameKey key;
    key.reserve(stored.size());
    for (char byte : stored) key.push_back(byte == '/' ? kSeparator : page.toUnicode(page.upper(byte)));
    return key;
}

NameKey nameKeyOfUtf8(std::string_view utf8) {
    const CodePage& page = archiveCodePage();
    NameKey key;
    key.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const std::int32_t character = nextUtf8(utf8, i);
        if (character < 0) {
            key.push_back(kInvalidByteBase + static_cast<unsigned char>(utf8[start]));
            i = start + 1;
            continue;
        }
        key.push_back(keyCharacter(page, static_cast<char32_t>(character)));
    }
    return key;
}

bool matchComponent(std::u32string_view pattern, std::u32string_view name) {
    // Greedy, going back to the last '*' on a mismatch: linear in practice, never exponential.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::u32string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char32_t c = pattern[p];
            if (c == U'*') {
                starP = p++;
                starN = n;
                continue;
            }
            if (c == U'?') {
                ++p;
                ++n;
                continue;
            }
            if (c == U'[') {
                bool inSet = false;
                if (const std::optional<std::size_t> after = matchSet(pattern, p, name[n], inSet)) {
                    if (inSet) {
                        p = *after;
                        ++n;
                        continue;
                    }
                } else if (name[n] == U'[') {
                    ++p;
                    ++n;
                    continue;
                }
            } else if (c == name[n]) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP == std::u32string_view::npos) return false;
        p = starP + 1;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

NamePattern::NamePattern(std::string_view utf8) : text_(utf8) {
    const NameKey key = nameKeyOfUtf8(utf8);
    for (std::u32string_view part : splitKey(key)) {
        components_.emplace_back(part);
        if (part.find_first_of(U"*?[") != std::u32string_view::npos) wildcards_ = true;
    }
    folderOnly_ = !key.empty() && key.back() == kSeparator;
}

bool NamePattern::matches(const NameKey& key) const {
    return matchComponents(splitKey(key), Reach::Entry, Wildcards::Honoured);
}

bool NamePattern::matchesEntryOrFolder(const NameKey& key) const {
    return matchComponents(splitKey(key), Reach::EntryOrFolder, Wildcards::Honoured);
}

bool NamePattern::equalsEntryOrFolder(const NameKey& key) const {
    return matchComponents(splitKey(key), Reach::EntryOrFolder, Wildcards::Literal);
}

bool NamePattern::matchesLastComponent(const NameKey& key) const {
    const std::vector<std::u32string_view> parts = splitKey(key);
    return components_.size() == 1 && !parts.empty() && matchComponent(components_.front(), parts.back());
}

// Pattern components against name components, "**" taking any number of them. Each pair of
// positions is decided once, so patterns with several "**" stay polynomial.
bool NamePattern::matchComponents(const std::vector<std::u32string_view>& name, Reach reach,
                                  Wildcards wildcards) const {
    if (components_.empty()) return false;
    const bool folderAllowed = reach == Reach::EntryOrFolder;
    const bool literal = wildcards == Wildcards::Literal;
    const std::size_t patternCount = components_.size();
    const std::size_t nameCount = name.size();
    enum : unsigned char { kUnknown, kNo, kYes };
    std::vector<unsigned char> memo((patternCount + 1) * (nameCount + 1), kUnknown);

    auto match = [&](auto& self, std::size_t p, std::size_t n) -> bool {
        unsigned char& known = memo[p * (nameCount + 1) + n];
        if (known != kUnknown) return known == kYes;
        bool result = false;
        if (p == patternCount) {
            // All of the name, or (for a folder) some of its leading components.
            result = n == nameCount ? !folderOnly_ : folderAllowed && n > 0;
        } else if (!literal && components_[p] == U"**") {
            result = self(self, p + 1, n) || (n < nameCount && self(self, p, n + 1));
        } else if (n < nameCount) {
            const bool same = literal ? components_[p] == name[n] : matchComponent(components_[p], name[n]);
            result = same && self(self, p + 1, n + 1);
        }
        known = result ? kYes : kNo;
        return result;
    };
    return match(match, 0, 0);
}

}  // namespace quillomar
