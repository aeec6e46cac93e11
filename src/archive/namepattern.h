#pragma once
// Name patterns as a user types them for stored names and for paths below a packed folder:
// components separated by '/' or '\', where '*' is any run of characters within one component,
// '?' one character, "[...]" one character of a set ("[a-z]", "[!0-9]" or "[^0-9]" for the
// complement; a ']' right after the opening bracket belongs to the set), and a component that
// is exactly "**" any number of whole components, none included. Matching ignores case as the
// archive code page upper-cases stored names, so "café/*.txt" matches CAFÉ\A.TXT.

#include <string>
#include <string_view>
#include <vector>

namespace quillomar {

// The form in which names are compared: characters upper-cased as the archive code page
// upper-cases them (characters it lacks by their Unicode upper case), '/' turned into '\'.
using NameKey = std::u32string;

// Of a stored name (archive code-page bytes).
NameKey nameKeyOfStored(std::string_view stored);
// Of UTF-8 text (a typed name or a host path). A byte that is no valid UTF-8 stands for a
// character of its own, so such a host name still matches only itself.
NameKey nameKeyOfUtf8(std::string_view utf8);

class NamePattern {
public:
    explicit NamePattern(std::string_view utf8);

    const std::string& text() const { return text_; }
    // True when the pattern holds '*', '?' or '['.
    bool hasWildcards() const { return wildcards_; }
    // True when the typed text ended in a separator: it then names a folder only.
    bool folderOnly() const { return folderOnly_; }
    // True when the pattern holds more than one component (it names a path, not only a name).
    bool hasSeparator() const { return components_.size() > 1; }

    // The whole key matches.
    bool matches(const NameKey& key) const;
    // The whole key matches, or one of the folders leading to it does (key's first components).
    bool matchesEntryOrFolder(const NameKey& key) const;
    // The key equals the typed text, wildcards taken as plain characters, or lies below it.
    bool equalsEntryOrFolder(const NameKey& key) const;
    // The last component of the key matches the pattern's only component.
    bool matchesLastComponent(const NameKey& key) const;

private:
    // What a pattern may match: a whole name only, or also the folders it lies in.
    enum class Reach { Entry, EntryOrFolder };
    // How the pattern's text is read: with its wildcards, or as plain characters.
    enum class Wildcards { Honoured, Literal };
    bool matchComponents(const std::vector<std::u32string_view>& name, Reach reach, Wildcards wildcards) const;

    std::string text_;
    std::vector<std::u32string> components_;
    bool wildcards_ = false;
    bool folderOnly_ = false;
};

// One component against a glob of '*', '?' and sets (no separators on either side).
bool matchComponent(std::u32string_view pattern, std::u32string_view name);

}  // namespace quillomar
