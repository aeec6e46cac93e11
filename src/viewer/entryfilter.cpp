#include "viewer/entryfilter.h"

#include <algorithm>

#include "platform/codepage.h"

namespace quillomar {

namespace {

char separatorAsStored(char byte) { return byte == '/' ? '\\' : byte; }

}  // namespace

EntryFilter::EntryFilter(std::string_view typed) {
    if (typed.empty()) return;
    const CodePage& page = archiveCodePage();
    if (typed.find_first_of("*?[") == std::string_view::npos) {
        // A character the code page lacks is in no stored name.
        const std::optional<std::string> bytes = page.fromUtf8(typed);
        if (!bytes) {
            mode_ = Mode::Nothing;
            return;
        }
        mode_ = Mode::Text;
        text_.reserve(bytes->size());
        for (char byte : *bytes) text_.push_back(page.upper(separatorAsStored(byte)));
        return;
    }
    NamePattern pattern(typed);
    if (pattern.hasSeparator()) {
        mode_ = Mode::Path;
        path_.emplace(std::move(pattern));
        return;
    }
    // One component, perhaps with separators around it ("*.tga/"): the component alone.
    for (char32_t c : nameKeyOfUtf8(typed)) {
        if (c != U'\\') name_.push_back(c);
    }
    mode_ = name_.empty() ? Mode::Nothing : Mode::Name;
}

bool EntryFilter::matches(const ArchiveEntry& entry) const {
    switch (mode_) {
        case Mode::All:
            return true;
        case Mode::Nothing:
            return false;
        case Mode::Text:
            return containsText(entry.name);
        case Mode::Name: {
            makeKey(entry.name);
            const std::size_t slash = key_.find_last_of(U'\\');
            const std::u32string_view last = std::u32string_view(key_).substr(slash == NameKey::npos ? 0 : slash + 1);
            return matchComponent(name_, last);
        }
        case Mode::Path:
            makeKey(entry.name);
            return path_->matchesEntryOrFolder(key_);
    }
    return false;
}

bool EntryFilter::containsText(std::string_view stored) const {
    const CodePage& page = archiveCodePage();
    const auto same = [&page](char byte, char wanted) { return page.upper(separatorAsStored(byte)) == wanted; };
    return std::search(stored.begin(), stored.end(), text_.begin(), text_.end(), same) != stored.end();
}

void EntryFilter::makeKey(std::string_view stored) const {
    const CodePage& page = archiveCodePage();
    key_.clear();
    for (char byte : stored) key_.push_back(byte == '/' ? U'\\' : page.toUnicode(page.upper(byte)));
}

}  // namespace quillomar
