#include "cli/entrymatch.h"

#include "archive/namepattern.h"

namespace quillomar::cli {

namespace {

enum class Rule { WholeName, EntryOrFolder, Literal };

bool chooses(const NamePattern& pattern, Rule rule, const NameKey& key) {
    switch (rule) {
        case Rule::WholeName:
            return pattern.matches(key);
        case Rule::EntryOrFolder:
            return pattern.matchesEntryOrFolder(key);
        case Rule::Literal:
            return pattern.equalsEntryOrFolder(key);
    }
    return false;
}

}  // namespace

EntrySelection selectEntries(const std::vector<ArchiveEntry>& entries, const std::vector<std::string>& operands) {
    std::vector<NameKey> keys;
    keys.reserve(entries.size());
    for (const ArchiveEntry& entry : entries) keys.push_back(nameKeyOfStored(entry.name));

    EntrySelection selection;
    std::vector<bool> chosen(entries.size(), false);
    for (const std::string& operand : operands) {
        const NamePattern pattern(operand);
        // The first rule that chooses anything decides for this operand.
        std::vector<Rule> rules;
        if (pattern.hasWildcards()) {
            rules = {Rule::Literal, Rule::EntryOrFolder};
        } else {
            rules = {Rule::WholeName, Rule::EntryOrFolder};
        }
        bool found = false;
        for (const Rule rule : rules) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (chooses(pattern, rule, keys[i])) {
                    chosen[i] = true;
                    found = true;
                }
            }
            if (found) break;
        }
        if (!found) selection.unmatched.push_back(operand);
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (chosen[i]) selection.indices.push_back(i);
    }
    return selection;
}

}  // namespace quillomar::cli
