#pragma once
// The verbs of quillomar-cli. Each returns true when it did everything asked, as the records of
// the engine's operations tell; every failure has been reported through the console by then (the
// engine's messages, or the tool's own).

#include <cstdint>
#include <string>
#include <vector>

#include "cli/console.h"
#include "packer/presets.h"

namespace quillomar {
class PodArchive;
}

namespace quillomar::cli {

// The packer window's presets for a dropped folder.
struct PackOptions {
    std::string folder;
    std::string archive;  // empty: FOLDER/NAME.pod
    std::string name{kDropPresets.name};
    std::string author{kDropPresets.author};
    std::string description{kDropPresets.description};
    std::string copyright{kDropPresets.copyright};
    std::int32_t priority = kDropPresets.priority;
    bool log = false;
    bool quiet = false;
    bool verbose = false;
    bool dryRun = false;
    bool force = false;
    std::vector<std::string> excludes;
    std::string like;         // archive whose header texts and priority are taken
    std::string changedFrom;  // archive whose unchanged files are left out
    // Which of author, description, copyright and priority were given on the command line:
    // those win over --like.
    struct Given {
        bool author = false, description = false, copyright = false, priority = false;
    } textsGiven;
};

struct InfoOptions {
    std::string archive;
    bool json = false;
};

struct ListOptions {
    std::string archive;
    std::vector<std::string> names;  // empty: every entry
    bool longFormat = false;
    bool json = false;
    bool slash = false;  // '/' between folders instead of '\\'
    bool null = false;   // each name ended by a NUL byte instead of a line break
};

struct ExtractOptions {
    std::string archive;
    std::string directory = ".";
    std::vector<std::string> names;  // empty: every entry
    bool quiet = false;
    bool lowercase = false;  // folders and files created with lower-case names
};

struct CatOptions {
    std::string archive;
    std::vector<std::string> names;
};

struct VerifyOptions {
    std::vector<std::string> archives;
};

struct MountOptions {
    std::string archive;
    std::string mountPoint;
    bool foreground = false;
    bool lowercase = false;  // folders and files shown with lower-case names, as extract --lowercase
};

struct UnmountOptions {
    std::string mountPoint;
};

struct DiffOptions {
    std::string first;
    std::string second;
    bool json = false;
};

// add, rm, mv and set: one archive changed and written again.
enum class EditVerb { Add, Remove, Move, Set };

struct EditOptions {
    EditVerb verb = EditVerb::Add;
    std::string archive;
    std::string output;  // -o: the result goes there; empty: over ARCHIVE
    bool dryRun = false;
    bool verbose = false;
    // add
    std::vector<std::string> paths;
    std::string directory = ".";
    std::string as;
    bool asGiven = false;
    // rm
    std::vector<std::string> names;
    // mv
    std::string from;
    std::string to;
    // set
    std::string description, author, copyright;
    std::int32_t priority = 0;
    struct Given {
        bool author = false, description = false, copyright = false, priority = false;
    } given;
};

bool runPack(const PackOptions& options, Console& console);
bool runEdit(const EditOptions& options, Console& console);
bool runInfo(const InfoOptions& options, Console& console);
bool runList(const ListOptions& options, Console& console);
bool runExtract(const ExtractOptions& options, Console& console);
bool runCat(const CatOptions& options, Console& console);
bool runVerify(const VerifyOptions& options, Console& console);
// 0 when both archives hold the same entries with the same bytes and times, 1 when they
// differ, 2 when either could not be read.
int runDiff(const DiffOptions& options, Console& console);

// 0 once the archive is mounted and its folder ready (with -f: once it is unmounted again), 1 when
// it could not be mounted, 2 where mounting is not available.
int runMount(const MountOptions& options, Console& console);
// 0 when the folder was unmounted, 1 when not, 2 where mounting is not available.
int runUnmount(const UnmountOptions& options, Console& console);

// What openArchive loads: the header only, or the directory too.
enum class ArchivePart { Header, Directory };

// Opens path and reads what part asks for. On failure shows the reader's record: its message
// where it gives one (with what is wrong in a damaged archive), else the system's text for why
// the file could not be read at all.
bool openArchive(PodArchive& archive, const std::string& path, ArchivePart part, Console& console);

// Reports each operand that chose no entry: true when there is none.
bool reportUnmatched(const std::vector<std::string>& unmatched, Console& console);

// Reports that what went through stdio did not reach standard output (a full disk behind a
// redirection); the tool's own writes report their failure records.
void reportOutputError(int error);

}  // namespace quillomar::cli
