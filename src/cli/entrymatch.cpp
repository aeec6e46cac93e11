#include "cli/entrymatch.h"

#include <algorithm>

#include "platform/codepage.h"

namespace quillomar::cli {

namespace {

// Upper-cased in the code page, every '/' turned into the stored separator '\'.
std::string comparisonKey(std::string_view bytes)
{
    std::string key = archiveCodePage().upper(bytes);
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

}  // namespace

EntryMatcher::EntryMatcher(const std::vector<ArchiveEntry>& entries)
{
    keys_.reserve(entries.size());
    for (const ArchiveEntry& entry : entries) keys_.push_back(comparisonKey(entry.name));
    byKey_.reserve(keys_.size());
    for (std::size_t i = 0; i < keys_.size(); ++i) byKey_[keys_[i]].push_back(i);
}

std::optional<std::string> EntryMatcher::keyOfTypedName(std::string_view name)
{
    std::optional<std::string> bytes = archiveCodePage().fromUtf8(name);
    if (!bytes) return std::nullopt;
    return comparisonKey(*bytes);
}

std::vector<std::size_t> EntryMatcher::exact(std::string_view name) const
{
    const std::optional<std::string> key = keyOfTypedName(name);
    if (!key) return {};
    const auto found = byKey_.find(*key);
    return found == byKey_.end() ? std::vector<std::size_t>{} : found->second;
}

std::vector<std::size_t> EntryMatcher::entryOrFolder(std::string_view name) const
{
    std::optional<std::string> key = keyOfTypedName(name);
    if (!key || key->empty()) return {};
    if (key->back() != '\\') {
        const auto found = byKey_.find(*key);
        if (found != byKey_.end()) return found->second;
        key->push_back('\\');
    }
    std::vector<std::size_t> below;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i].size() > key->size() && keys_[i].starts_with(*key)) below.push_back(i);
    }
    return below;
}

}  // namespace quillomar::cli
