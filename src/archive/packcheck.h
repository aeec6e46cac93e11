#pragma once
// Everything that would make an archive of a scanned folder wrong, found before anything is
// written: names the archive cannot hold, host paths that would become one stored name, a file
// that would also have to be a folder, files and archives too large for the format. Every
// problem is collected, not only the first.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"

namespace quillomar {

struct PackProblem {
    enum class Kind {
        BadHeaderText,    // EILSEQ: a header text the code page cannot hold (path: the field's name)
        NotInCodePage,    // EILSEQ: a name the code page cannot hold
        NameTooLong,      // ENAMETOOLONG: a stored name over 259 bytes (number: its length)
        BadName,          // EINVAL: a '\' in a name, or a name that reads back as a drive ("C:...")
        SameName,         // EEXIST: two host paths with one stored name (otherPath: the earlier one)
        FileAndFolder,    // EEXIST: a file whose stored name is also a folder's (otherPath: the folder)
        FileTooLarge,     // EFBIG: a file of 4 GiB or more (number: its size)
        ArchiveTooLarge,  // EFBIG: the archive would pass 2 GiB - 1 bytes (path: the archive; number: its size)
    };
    Kind kind;
    int error;              // the errno the window's system-error box shows for it
    std::string path;       // the host path concerned
    std::string otherPath;  // the second host path of a clash
    std::uint64_t number = 0;
};

struct PackPlan {
    std::vector<std::string> storedNames;  // per file: its stored name, "" when it has a problem
    std::uint64_t archiveSize = 0;         // bytes the archive would have
    std::vector<PackProblem> problems;     // in the order of the files concerned
};

// Checks files (host paths; the first prefixLength bytes are the folder and its separator) for
// an archive at archivePath.
PackPlan planPack(const std::vector<SourceFile>& files, std::int32_t prefixLength, const std::string& archivePath);

// The host paths of a problem as the system-error box names them: "path" or "path\n==> other".
std::string packProblemPaths(const PackProblem& problem);
// What is wrong, in a few words ("the name is 300 bytes long; at most 259 fit").
std::string describePackProblem(const PackProblem& problem);

}  // namespace quillomar
