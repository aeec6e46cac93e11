#include "archive/packcheck.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <unordered_map>

#include "archive/podformat.h"
#include "archive/storedname.h"
#include "platform/codepage.h"

namespace quillomar {

namespace {

using Kind = PackProblem::Kind;

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFF;

// The first `components` components of a relative host path.
std::string leadingComponents(std::string_view relative, std::size_t components) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < components; ++i) {
        end = relative.find('/', i == 0 ? 0 : end + 1);
        if (end == std::string_view::npos) return std::string(relative);
    }
    return std::string(relative.substr(0, end));
}

}  // namespace

PackPlan planPack(const std::vector<SourceFile>& files, std::int32_t prefixLength, const std::string& archivePath) {
    PackPlan plan;
    plan.storedNames.resize(files.size());
    plan.archiveSize = kPod3HeaderSize;
    std::vector<std::pair<std::size_t, PackProblem>> found;  // file position, problem

    const auto prefix = static_cast<std::size_t>(std::max(prefixLength, 0));
    std::unordered_map<std::string, std::size_t> fileNamed;    // stored name -> first file
    std::unordered_map<std::string, std::size_t> folderNamed;  // stored folder -> first file below it
    for (std::size_t i = 0; i < files.size(); ++i) {
        const SourceFile& file = files[i];
        plan.archiveSize += std::max<std::uint64_t>(file.size, file.diskSize) + kDirectoryRecordSize;
        if (file.diskSize > kMaxFileSize) {
            found.push_back({i, {Kind::FileTooLarge, EFBIG, file.name, {}, file.diskSize}});
        }
        if (file.name.size() <= prefix) {
            found.push_back({i, {Kind::BadName, EINVAL, file.name, {}, 0}});
            continue;
        }
        const std::string_view relative = std::string_view(file.name).substr(prefix);
        StoredNameResult stored = storedNameFromHostPath(relative);
        if (!stored.name) {
            Kind kind = stored.error == EILSEQ ? Kind::NotInCodePage : Kind::BadName;
            std::uint64_t length = 0;
            if (stored.error == ENAMETOOLONG) {
                kind = Kind::NameTooLong;
                length = archiveCodePage().fromUtf8(relative).value_or(std::string(relative)).size();
            }
            found.push_back({i, {kind, stored.error, file.name, {}, length}});
            continue;
        }
        const std::string& name = *stored.name;
        plan.archiveSize += name.size() + 1;
        // Host names that differ only in case are one stored name, and one entry would hide the other.
        const auto [earlier, inserted] = fileNamed.emplace(name, i);
        if (!inserted) found.push_back({i, {Kind::SameName, EEXIST, file.name, files[earlier->second].name, 0}});
        for (std::size_t slash = name.find('\\'); slash != std::string::npos; slash = name.find('\\', slash + 1)) {
            folderNamed.emplace(name.substr(0, slash), i);
        }
        plan.storedNames[i] = std::move(*stored.name);
    }
    // A file named as a folder of another file: extraction could never make both.
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& name = plan.storedNames[i];
        if (name.empty()) continue;
        const auto folder = folderNamed.find(name);
        if (folder == folderNamed.end() || fileNamed[name] != i) continue;
        const std::size_t depth = static_cast<std::size_t>(std::count(name.begin(), name.end(), '\\')) + 1;
        const std::string& below = files[folder->second].name;
        std::string folderPath =
            below.substr(0, prefix) + leadingComponents(std::string_view(below).substr(prefix), depth);
        found.push_back({i, {Kind::FileAndFolder, EEXIST, files[i].name, std::move(folderPath), 0}});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [position, problem] : found) {
        plan.storedNames[position].clear();
        plan.problems.push_back(std::move(problem));
    }
    if (plan.archiveSize > kMaxArchiveSize) {
        plan.problems.push_back({Kind::ArchiveTooLarge, EFBIG, archivePath, {}, plan.archiveSize});
    }
    return plan;
}

std::string packProblemPaths(const PackProblem& problem) {
    return problem.otherPath.empty() ? problem.path : problem.path + "\n==> " + problem.otherPath;
}

std::string describePackProblem(const PackProblem& problem) {
    const std::string codePage = std::to_string(archiveCodePage().number());
    switch (problem.kind) {
        case Kind::BadHeaderText:
            return "code page " + codePage + " cannot hold this header text (--codepage chooses another)";
        case Kind::NotInCodePage:
            return "code page " + codePage + " cannot hold this name (--codepage chooses another)";
        case Kind::NameTooLong:
            return "the stored name would be " + std::to_string(problem.number) + " bytes long; at most " +
                   std::to_string(kMaxStoredNameLength) + " fit";
        case Kind::BadName:
            return "a name holding '\\' or starting with a drive (\"C:\") cannot be stored";
        case Kind::SameName:
            return "these two would be one stored name (names are stored in upper case)";
        case Kind::FileAndFolder:
            return "a file and a folder would have one stored name (names are stored in upper case)";
        case Kind::FileTooLarge:
            return "the file has " + std::to_string(problem.number) + " bytes; an entry holds less than 4 GiB";
        case Kind::ArchiveTooLarge:
            return "the archive would have " + std::to_string(problem.number) + " bytes; at most " +
                   std::to_string(kMaxArchiveSize) + " fit";
    }
    return {};
}

}  // namespace quillomar
