#pragma once
// What would keep entries of an archive from being extracted on this host, found without
// writing anything: names extraction refuses, a name that is a file and also the folder of
// another entry, two entries landing on one path, and a name component longer than a file
// name may be here once converted to UTF-8. On Windows also the names it cannot keep, and names
// equal but for case, which land on one file there.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/podarchive.h"
#include "archive/windowsname.h"

namespace quillomar {

// The longest file name the host takes, in bytes of UTF-8.
inline constexpr std::size_t kMaxHostNameBytes = 255;

// The rules of the system the names are checked for: this host's, or Windows' on any host.
enum class NameRules { Posix, Windows };
inline constexpr NameRules kHostNameRules = kHostHasWindowsNames ? NameRules::Windows : NameRules::Posix;

// The path an entry lands on as extraction compares it with the others: the relative host path,
// case folded where the system folds case. Two entries with one key are written one over the
// other. nullopt for a name extraction refuses as unsafe.
std::optional<std::string> landingKey(std::string_view stored, ExtractedNames names, NameRules rules);

// For each of the entries at the given positions, the position in indices of the next one that
// lands on the same path, or kNoLater.
inline constexpr std::size_t kNoLater = static_cast<std::size_t>(-1);
std::vector<std::size_t> nextOnSamePath(const std::vector<ArchiveEntry>& entries,
                                        const std::vector<std::size_t>& indices, ExtractedNames names,
                                        NameRules rules = kHostNameRules);

struct ExtractionProblem {
    enum class Kind {
        UnsafeName,        // "..", a leading separator, a drive designator, or no name at all
        FileAndFolder,     // entry is a file, and other lies below a folder of the same path
        SamePath,          // entry and an earlier one, other, land on one path
        ComponentTooLong,  // one component of entry's path is over kMaxHostNameBytes
        WindowsName,       // a name Windows cannot keep (windowsName says which and why)
    };
    Kind kind;
    std::size_t entry;             // position in the entries
    std::size_t other = kNoOther;  // the entry it clashes with, for FileAndFolder and SamePath
    std::string path;              // relative host path the entry would land on ('/' separators)
    std::optional<WindowsNameProblem> windowsName;

    static constexpr std::size_t kNoOther = static_cast<std::size_t>(-1);
};

// Every problem, in directory order of the entry concerned.
std::vector<ExtractionProblem> findExtractionProblems(const std::vector<ArchiveEntry>& entries,
                                                      ExtractedNames names = ExtractedNames::AsStored,
                                                      NameRules rules = kHostNameRules);

// One line describing a problem, naming the entries as stored ("A/B.TXT: ...").
std::string describeExtractionProblem(const ExtractionProblem& problem, const std::vector<ArchiveEntry>& entries);

}  // namespace quillomar
