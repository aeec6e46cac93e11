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
        const NameKey key = nameKeyOfUtf8(typed);
        const std::u32string_view whole(key);
        const std::size_t firstEnd = whole.find_first_not_of(U'\\');
        const std::u32string_view trimmed = whole.substr(firstEnd, whole.find_last_not_of(U'\\') - firstEnd + 1);
        first_ = trimmed.substr(0, trimmed.find(U'\\'));
        last_ = trimmed.substr(trimmed.rfind(U'\\') + 1);
        // "**/NAME" takes a path when any of its components matches NAME (a folder takes all
        // below it): the check without allocating decides alone.
        const NameKey middle(trimmed.substr(first_.size(), trimmed.size() - first_.size() - last_.size()));
        anyComponent_ = first_ == U"**" && last_ != U"**" && middle.find_first_not_of(U'\\') == NameKey::npos &&
                        !path_->folderOnly();
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
            return mayMatchPath() && (anyComponent_ || path_->matchesEntryOrFolder(key_));
    }
    return false;
}

bool EntryFilter::containsText(std::string_view stored) const {
    const CodePage& page = archiveCodePage();
    const auto same = [&page](char byte, char wanted) { return page.upper(separatorAsStored(byte)) == wanted; };
    return std::search(stored.begin(), stored.end(), text_.begin(), text_.end(), same) != stored.end();
}

bool EntryFilter::mayMatchPath() const {
    const std::u32string_view key(key_);
    bool firstSeen = false;
    bool lastSeen = last_ == U"**";
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find(U'\\', start);
        if (end == std::u32string_view::npos) end = key.size();
        if (end > start) {
            const std::u32string_view part = key.substr(start, end - start);
            if (!firstSeen) {
                if (first_ != U"**" && !matchComponent(first_, part)) return false;
                firstSeen = true;
            }
            lastSeen = lastSeen || matchComponent(last_, part);
            if (lastSeen) return true;
        }
        start = end + 1;
    }
    return firstSeen && lastSeen;
}

void EntryFilter::makeKey(std::string_view stored) const {
    const CodePage& page = archiveCodePage();
    key_.clear();
    for (char byte : stored) key_.push_back(byte == '/' ? U'\\' : page.toUnicode(page.upper(byte)));
}

}  // namespace quillomar
