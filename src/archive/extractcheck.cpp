#include "archive/extractcheck.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "archive/storedname.h"
#include "platform/codepage.h"

namespace quillomar {

std::optional<std::string> landingKey(std::string_view stored, ExtractedNames names, NameRules rules) {
    const CodePage& page = archiveCodePage();
    const bool fold = names == ExtractedNames::LowerCase || rules == NameRules::Windows;
    return safeRelativePath(fold ? page.lower(stored) : std::string(stored));
}

std::vector<std::size_t> nextOnSamePath(const std::vector<ArchiveEntry>& entries,
                                        const std::vector<std::size_t>& indices, ExtractedNames names,
                                        NameRules rules) {
    std::vector<std::size_t> next(indices.size(), kNoLater);
    std::unordered_map<std::string, std::size_t> lastAt;  // key -> the latest position seen
    lastAt.reserve(indices.size());
    for (std::size_t at = 0; at < indices.size(); ++at) {
        if (indices[at] >= entries.size()) continue;
        std::optional<std::string> key = landingKey(entries[indices[at]].name, names, rules);
        if (!key) continue;
        const auto [found, inserted] = lastAt.try_emplace(std::move(*key), at);
        if (!inserted) {
            next[found->second] = at;
            found->second = at;
        }
    }
    return next;
}

std::vector<ExtractionProblem> findExtractionProblems(const std::vector<ArchiveEntry>& entries, ExtractedNames names,
                                                      NameRules rules) {
    using Kind = ExtractionProblem::Kind;
    std::vector<ExtractionProblem> problems;
    std::vector<std::string> paths(entries.size());
    std::vector<std::string> keys(entries.size());
    std::vector<bool> usable(entries.size(), false);
    std::unordered_map<std::string_view, std::size_t> fileAt;    // key -> first entry landing there
    std::unordered_map<std::string_view, std::size_t> folderAt;  // folder key -> first entry below it
    fileAt.reserve(entries.size());

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& stored = entries[i].name;
        if (rules == NameRules::Windows) {
            if (std::optional<WindowsNameProblem> windows = findWindowsNameProblem(stored)) {
                problems.push_back({Kind::WindowsName, i, ExtractionProblem::kNoOther, storedNameForMessage(stored),
                                    std::move(windows)});
                continue;
            }
        }
        std::optional<std::string> relative =
            safeRelativePath(names == ExtractedNames::LowerCase ? archiveCodePage().lower(stored) : stored);
        if (!relative) {
            problems.push_back({Kind::UnsafeName, i, ExtractionProblem::kNoOther, storedNameForMessage(stored), {}});
            continue;
        }
        paths[i] = std::move(*relative);
        std::string_view path = paths[i];
        bool tooLong = false;
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t end = std::min(path.find('/', start), path.size());
            if (end - start > kMaxHostNameBytes) tooLong = true;
            start = end + 1;
        }
        if (tooLong) {
            problems.push_back({Kind::ComponentTooLong, i, ExtractionProblem::kNoOther, paths[i], {}});
            continue;
        }
        keys[i] = landingKey(stored, names, rules).value_or(paths[i]);
        usable[i] = true;
    }

    // Each path once as a file, and every folder leading to it.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!usable[i]) continue;
        std::string_view key = keys[i];
        const auto [at, inserted] = fileAt.emplace(key, i);
        if (!inserted) problems.push_back({Kind::SamePath, i, at->second, paths[i], {}});
        for (std::size_t slash = key.find('/'); slash != std::string_view::npos; slash = key.find('/', slash + 1)) {
            folderAt.emplace(key.substr(0, slash), i);
        }
    }
    for (const auto& [key, i] : fileAt) {
        const auto folder = folderAt.find(key);
        if (folder != folderAt.end()) problems.push_back({Kind::FileAndFolder, i, folder->second, paths[i], {}});
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const ExtractionProblem& a, const ExtractionProblem& b) { return a.entry < b.entry; });
    return problems;
}

std::string describeExtractionProblem(const ExtractionProblem& problem, const std::vector<ArchiveEntry>& entries) {
    const std::string name = storedNameForMessage(entries[problem.entry].name);
    const std::string other = problem.other == ExtractionProblem::kNoOther
                                  ? std::string()
                                  : storedNameForMessage(entries[problem.other].name);
    switch (problem.kind) {
        case ExtractionProblem::Kind::UnsafeName:
            return name + ": unsafe name (\"..\", a leading separator or a drive), refused by extraction";
        case ExtractionProblem::Kind::FileAndFolder:
            return name + ": is a file and also the folder of " + other;
        case ExtractionProblem::Kind::SamePath:
            return name + ": lands on the same path as " + other + " (" + problem.path + ")";
        case ExtractionProblem::Kind::ComponentTooLong:
            return name + ": a folder or file name is over " + std::to_string(kMaxHostNameBytes) + " bytes in UTF-8";
        case ExtractionProblem::Kind::WindowsName:
            return name + ": " + (problem.windowsName ? describeWindowsNameProblem(*problem.windowsName) : "") +
                   ", refused by extraction";
    }
    return name;
}

}  // namespace quillomar
