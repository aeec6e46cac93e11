#pragma once
// The content window's filter: what the user types in the filter box, as a test on stored names.
// Plain text is looked for anywhere in the stored path, folders included, in any case as the
// archive code page upper-cases it ('/' and '\' alike). Text holding '*', '?' or '[' is a name
// pattern of the command-line tool: one without a separator is matched against each entry's
// name, at any depth; one with a separator against the whole path from the top, where a folder
// that matches takes every entry below it ("**" standing for any number of folders).

#include <optional>
#include <string>
#include <string_view>

#include "archive/entry.h"
#include "archive/namepattern.h"

namespace quillomar {

class EntryFilter {
public:
    explicit EntryFilter(std::string_view typed);

    // True when the text is empty: every entry is shown.
    bool showsAll() const { return mode_ == Mode::All; }
    bool matches(const ArchiveEntry& entry) const;

private:
    enum class Mode { All, Nothing, Text, Name, Path };

    bool containsText(std::string_view stored) const;
    // The stored name's key in key_, which is reused from entry to entry.
    void makeKey(std::string_view stored) const;
    // What every path the pattern takes has, checked without allocating: its first component
    // matches the pattern's first, and one of its components the pattern's last ("**" aside).
    bool mayMatchPath() const;

    Mode mode_ = Mode::All;
    std::string text_;  // Text: code-page bytes, upper-cased, '\' separators
    NameKey name_;      // Name: the pattern of one component
    std::optional<NamePattern> path_;
    NameKey first_;  // Path: the pattern's first and last components
    NameKey last_;
    bool anyComponent_ = false;  // Path: "**" and one component, decided by mayMatchPath alone
    mutable NameKey key_;
};

}  // namespace quillomar
