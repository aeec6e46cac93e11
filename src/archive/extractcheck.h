#pragma once
// What would keep entries of an archive from being extracted on this host, found without
// writing anything: names extraction refuses, a name that is a file and also the folder of
// another entry, two entries landing on one path, and a name component longer than a file
// name may be here once converted to UTF-8.

#include <cstddef>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/podarchive.h"

namespace quillomar {

// The longest file name the host takes, in bytes of UTF-8.
inline constexpr std::size_t kMaxHostNameBytes = 255;

struct ExtractionProblem {
    enum class Kind {
        UnsafeName,        // "..", a leading separator, a drive designator, or no name at all
        FileAndFolder,     // entry is a file, and other lies below a folder of the same path
        SamePath,          // entry and an earlier one, other, land on one path
        ComponentTooLong,  // one component of entry's path is over kMaxHostNameBytes
    };
    Kind kind;
    std::size_t entry;             // position in the entries
    std::size_t other = kNoOther;  // the entry it clashes with, for FileAndFolder and SamePath
    std::string path;              // relative host path the entry would land on ('/' separators)

    static constexpr std::size_t kNoOther = static_cast<std::size_t>(-1);
};

// Every problem, in directory order of the entry concerned.
std::vector<ExtractionProblem> findExtractionProblems(const std::vector<ArchiveEntry>& entries,
                                                      ExtractedNames names = ExtractedNames::AsStored);

// One line describing a problem, naming the entries as stored ("A/B.TXT: ...").
std::string describeExtractionProblem(const ExtractionProblem& problem, const std::vector<ArchiveEntry>& entries);

}  // namespace quillomar
