// quillomar-cli: the Quillomar engine from a terminal.
//
// Exit status: 0 when everything asked was done, 1 when anything failed (each failure reported
// on standard error in the words of the window program's message boxes), 2 for a usage error.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/stringtable.h"
#include "app/version.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/system.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/syserror.h"
#include "platform/termination.h"

// The pattern rules, shown by every verb that takes names.
#define PATTERN_HELP                                                                            \
    "A NAME is a stored name, a folder (every entry below it) or a pattern: '*' any run of\n"   \
    "characters within a name, '?' one character, '[...]' one of a set, '**' any number of\n"   \
    "folders. Case is ignored; '/' or '\\' separates folders. A NAME that matches nothing is\n" \
    "reported and makes the exit status 1.\n"

// What add, rm, mv and set have in common.
#define EDIT_HELP                                                                                 \
    "The result is written as a new file and takes ARCHIVE's name (or OUT's with -o) only once\n" \
    "complete; ARCHIVE keeps its mode, and a symbolic link stays a link to the edited file. A\n"   \
    "POD2 archive is edited into a new POD3 archive with -o only.\n"

namespace {

using namespace quillomar;
using namespace quillomar::cli;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string versionText() {
    std::string text = "quillomar-cli (" + loadString(kMsgProgramName) + ") ";
    text.append(version::kFileVersion).append("\n");
    text.append(version::kFileDescription).append("\n");
    text.append(version::kLegalCopyright);
    return text;
}

int usageError(const std::string& what, const std::string& verb = {}) {
    const std::string help = verb.empty() ? "quillomar-cli --help" : "quillomar-cli " + verb + " --help";
    std::fprintf(stderr, "quillomar-cli: %s\nRun '%s' for more information.\n", what.c_str(), help.c_str());
    return kExitUsage;
}

// The archive code page: --codepage, else QUILLOMAR_CODEPAGE, else 1252.
bool chooseCodePage(const CLI::Option* option, int number, std::string& problem) {
    if (option->count() == 0) {
        const std::optional<int> fromEnvironment = codePageFromEnvironment();
        if (!fromEnvironment) {
            problem = "QUILLOMAR_CODEPAGE names no supported code page (1250 to 1258)";
            return false;
        }
        number = *fromEnvironment;
    }
    if (!setArchiveCodePage(number)) {
        problem = "--codepage " + std::to_string(number) + ": no supported code page (1250 to 1258)";
        return false;
    }
    return true;
}

// What the verbs' options fill.
struct Options {
    PackOptions pack;
    InfoOptions info;
    ListOptions list;
    ExtractOptions extract;
    CatOptions cat;
    VerifyOptions verify;
    DiffOptions diff;
    MountOptions mount;
    UnmountOptions unmount;
    EditOptions edit;
    std::string helpTopic;
};

// The option shapes the verbs share.
void archiveOperand(CLI::App& verb, std::string& archive) {
    verb.add_option("ARCHIVE", archive, "Archive to read")->required();
}
CLI::Option* nameOperands(CLI::App& verb, std::vector<std::string>& names, const std::string& help) {
    return verb.add_option("NAME", names, help);
}
void headerOption(CLI::App& verb, const std::string& name, auto& value, const std::string& help) {
    verb.add_option(name, value, help)->capture_default_str();
}

void declarePack(CLI::App& verb, Options& options) {
    PackOptions& pack = options.pack;
    verb.add_option("FOLDER", pack.folder, "Folder to pack")->required();
    verb.add_option("-o,--output", pack.archive, "Archive to write (default: FOLDER/NAME.pod)")->type_name("ARCHIVE");
    headerOption(verb, "--name", pack.name, "Name of the archive and of the log, without extension");
    headerOption(verb, "--author", pack.author, "Author text of the header");
    headerOption(verb, "--description", pack.description, "Description text of the header");
    headerOption(verb, "--copyright", pack.copyright, "Copyright text of the header");
    headerOption(verb, "--priority", pack.priority, "Priority number of the header");
    verb.add_option("--like", pack.like, "Take description, author, copyright and priority from this archive")
        ->type_name("OLD.pod");
    verb.add_option("--exclude", pack.excludes,
                    "Leave out files and folders matching PATTERN (repeatable; a pattern without '/'\n"
                    "matches a name at any depth)")
        ->type_name("PATTERN")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    verb.add_option("--changed-from", pack.changedFrom,
                    "Pack only the files that BASE.pod lacks or holds with other bytes")
        ->type_name("BASE.pod");
    verb.add_flag("--dry-run", pack.dryRun, "Scan and check everything, report every problem, write nothing");
    verb.add_flag("--force", pack.force, "Replace an existing archive, once the new one is complete");
    verb.add_flag("--log", pack.log, "Also write the list of the folder's files to FOLDER/NAME.txt");
    verb.add_flag("-v,--verbose", pack.verbose, "List every file taken");
    verb.add_flag("-q,--quiet", pack.quiet, "No progress bar and no summary");
}

void declareInfo(CLI::App& verb, Options& options) {
    archiveOperand(verb, options.info.archive);
    verb.add_flag("--json", options.info.json, "Print one JSON object");
}

void declareList(CLI::App& verb, Options& options) {
    ListOptions& list = options.list;
    archiveOperand(verb, list.archive);
    nameOperands(verb, list.names, "Entries, folders or patterns to list (default: all)");
    verb.add_flag("-l,--long", list.longFormat, "Also show each entry's size and date (UTC)");
    verb.add_flag("--json", list.json, "Print a JSON array of {name, size, offset, time}");
    verb.add_flag("--slash", list.slash, "Show '/' between folders instead of '\\'");
    verb.add_flag("-0,--null", list.null, "End each name with a NUL byte instead of a line break (for xargs -0)");
}

void declareExtract(CLI::App& verb, Options& options) {
    ExtractOptions& extract = options.extract;
    archiveOperand(verb, extract.archive);
    nameOperands(verb, extract.names, "Entries, folders or patterns to extract (default: all)");
    verb.add_option("-C,--directory", extract.directory, "Destination folder, created when missing")
        ->type_name("DIR")
        ->capture_default_str();
    verb.add_flag("--lowercase", extract.lowercase, "Give the folders and files lower-case names");
    verb.add_flag("-q,--quiet", extract.quiet, "No progress bar");
}

void declareCat(CLI::App& verb, Options& options) {
    archiveOperand(verb, options.cat.archive);
    nameOperands(verb, options.cat.names, "Entries, folders or patterns to write, in directory order")->required();
}

void declareVerify(CLI::App& verb, Options& options) {
    verb.add_option("ARCHIVE", options.verify.archives, "Archives to check")->required();
}

void declareDiff(CLI::App& verb, Options& options) {
    verb.add_option("A", options.diff.first, "First archive")->required();
    verb.add_option("B", options.diff.second, "Second archive")->required();
    verb.add_flag("--json", options.diff.json, "Print one JSON object {header, entries}");
}

void declareMount(CLI::App& verb, Options& options) {
    MountOptions& mount = options.mount;
    archiveOperand(verb, mount.archive);
    verb.add_option("MOUNTPOINT", mount.mountPoint, "Empty folder to show the archive in")->required();
    verb.add_flag("-f,--foreground", mount.foreground, "Stay in the foreground; Ctrl+C or SIGTERM unmounts");
    verb.add_flag("--lowercase", mount.lowercase, "Show the folders and files with lower-case names");
}

void declareUnmount(CLI::App& verb, Options& options) {
    verb.add_option("MOUNTPOINT", options.unmount.mountPoint, "Folder an archive is mounted on")->required();
}

// The options add, rm, mv and set share.
void editOptions(CLI::App& verb, EditOptions& edit) {
    verb.add_option("ARCHIVE", edit.archive, "Archive to change")->required();
}
void editFlags(CLI::App& verb, EditOptions& edit) {
    verb.add_option("-o,--output", edit.output, "Write the result to OUT and leave ARCHIVE as it is")
        ->type_name("OUT");
    verb.add_flag("--dry-run", edit.dryRun, "Check everything, show what would change and the size, write nothing");
    verb.add_flag("-v,--verbose", edit.verbose, "List each entry added, replaced, removed or renamed");
}

void declareAdd(CLI::App& verb, Options& options) {
    EditOptions& edit = options.edit;
    editOptions(verb, edit);
    verb.add_option("PATH", edit.paths, "Files or folders to add, below DIR")->required();
    verb.add_option("-C,--directory", edit.directory, "Folder the PATHs are taken from")
        ->type_name("DIR")
        ->capture_default_str();
    verb.add_option("--as", edit.as, "Store the one PATH under this name")->type_name("NAME");
    editFlags(verb, edit);
}

void declareRemove(CLI::App& verb, Options& options) {
    EditOptions& edit = options.edit;
    editOptions(verb, edit);
    nameOperands(verb, edit.names, "Entries, folders or patterns to remove")->required();
    editFlags(verb, edit);
}

void declareMove(CLI::App& verb, Options& options) {
    EditOptions& edit = options.edit;
    editOptions(verb, edit);
    verb.add_option("FROM", edit.from, "Entry or folder to rename")->required();
    verb.add_option("TO", edit.to, "Its new name")->required();
    editFlags(verb, edit);
}

void declareSet(CLI::App& verb, Options& options) {
    EditOptions& edit = options.edit;
    editOptions(verb, edit);
    verb.add_option("--description", edit.description, "Description text of the header")->type_name("T");
    verb.add_option("--author", edit.author, "Author text of the header")->type_name("T");
    verb.add_option("--copyright", edit.copyright, "Copyright text of the header")->type_name("T");
    verb.add_option("--priority", edit.priority, "Priority number of the header")->type_name("N");
    editFlags(verb, edit);
}

void declareHelp(CLI::App& verb, Options& options) { verb.add_option("VERB", options.helpTopic, "Verb to explain"); }

// Runs a verb: its exit status.
int exitStatus(bool done) { return done ? kExitSuccess : kExitFailure; }

int runPackVerb(Options& options, const CLI::App& verb, Console& console) {
    // Header texts given on the command line win over --like.
    options.pack.textsGiven = {verb.count("--author") > 0, verb.count("--description") > 0,
                               verb.count("--copyright") > 0, verb.count("--priority") > 0};
    return exitStatus(runPack(options.pack, console));
}

// Whether the verb has the option and it was given.
bool given(const CLI::App& verb, const std::string& name) {
    const CLI::Option* option = verb.get_option_no_throw(name);
    return option != nullptr && option->count() > 0;
}

int runEditVerb(Options& options, const CLI::App& verb, Console& console, EditVerb which) {
    EditOptions& edit = options.edit;
    edit.verb = which;
    edit.asGiven = given(verb, "--as");
    if (edit.asGiven && edit.paths.size() != 1) return usageError("--as takes exactly one PATH", verb.get_name());
    edit.given = {given(verb, "--author"), given(verb, "--description"), given(verb, "--copyright"),
                  given(verb, "--priority")};
    if (which == EditVerb::Set && !edit.given.author && !edit.given.description && !edit.given.copyright &&
        !edit.given.priority) {
        return usageError("nothing to set: give --description, --author, --copyright or --priority", verb.get_name());
    }
    return exitStatus(runEdit(edit, console));
}

struct Verb {
    const char* name;
    const char* summary;
    const char* footer;
    void (*declare)(CLI::App& verb, Options& options);
    int (*run)(Options& options, const CLI::App& verb, Console& console);  // nullptr: help
    int troubleStatus;  // the exit status when what went through stdio did not arrive
};

// The verbs, in the order the help lists them.
const Verb kVerbs[] = {
    {"pack", "Pack a folder and all its sub-folders into a new POD3 archive",
     "Without --force an existing file is never replaced. Header texts are stored as at most\n"
     "79 bytes. Before anything is written every file is checked: a name the code page cannot\n"
     "hold, a name over 259 bytes, a '\\' in a name, two files or a file and a folder that would\n"
     "have one stored name, an archive over 2 GiB - 1 bytes; each problem is reported.\n"
     "Examples:\n"
     "  quillomar-cli pack ~/mods/plane\n"
     "      writes ~/mods/plane/my_pod_name.pod\n"
     "  quillomar-cli pack ~/mods/plane -o plane.pod --author 'Jo' --priority 1200 --log\n"
     "  quillomar-cli pack ~/mods/plane -o plane.pod --exclude .git --exclude '*.psd' --dry-run\n"
     "  quillomar-cli pack ~/edited -o patch.pod --changed-from game.pod --like game.pod -v",
     declarePack, runPackVerb, kExitFailure},
    {"info", "Show the header of an archive and its total size",
     "JSON keys: version, description, entryCount, author, copyright, priority (the last three\n"
     "null for POD2), totalSize, fileSize.\n"
     "Examples:\n"
     "  quillomar-cli info plane.pod\n"
     "  quillomar-cli info --json plane.pod",
     declareInfo, [](Options& o, const CLI::App&, Console& c) { return exitStatus(runInfo(o.info, c)); }, kExitFailure},
    {"list", "List the entries of an archive in directory order",
     "Names are shown as stored, with '\\' between folders unless --slash is given.\n" PATTERN_HELP "Examples:\n"
     "  quillomar-cli list plane.pod\n"
     "  quillomar-cli list -l plane.pod | sort -n\n"
     "  quillomar-cli list plane.pod 'art/**/*.pbm'\n"
     "  quillomar-cli list --slash -0 plane.pod | xargs -0 -n1 echo",
     declareList, [](Options& o, const CLI::App&, Console& c) { return exitStatus(runList(o.list, c)); }, kExitFailure},
    {"extract", "Extract all entries, or the chosen ones, into a folder",
     "Existing files are replaced; entries keep their dates.\n" PATTERN_HELP "Examples:\n"
     "  quillomar-cli extract plane.pod -C out\n"
     "  quillomar-cli extract plane.pod -C out art/planes/f1.pbm sounds '*.txt'\n"
     "  quillomar-cli extract plane.pod -C src --lowercase",
     declareExtract, [](Options& o, const CLI::App&, Console& c) { return exitStatus(runExtract(o.extract, c)); },
     kExitFailure},
    {"cat", "Write entries' bytes to standard output",
     PATTERN_HELP "Examples:\n"
                  "  quillomar-cli cat plane.pod readme.txt\n"
                  "  quillomar-cli cat plane.pod 'art\\planes\\f1.pbm' > f1.pbm",
     declareCat, [](Options& o, const CLI::App&, Console& c) { return exitStatus(runCat(o.cat, c)); }, kExitFailure},
    {"verify", "Check that archives are complete and can be extracted",
     "Checks the header, the directory, the name table and every entry's data range against\n"
     "the file, and that every entry can be extracted here (safe names, no name both a file\n"
     "and a folder, no two entries on one path, no component over 255 bytes). Prints one line\n"
     "per archive, starting with its path: OK, or what is wrong.\n"
     "Examples:\n"
     "  quillomar-cli verify plane.pod && echo fine\n"
     "  quillomar-cli verify ~/game/*.pod",
     declareVerify, [](Options& o, const CLI::App&, Console& c) { return exitStatus(runVerify(o.verify, c)); },
     kExitFailure},
    {"diff", "Compare two archives entry by entry",
     "Header fields that differ come first, then one line per entry (names compared in any case):\n"
     "  + NAME  only in B      - NAME  only in A\n"
     "  M NAME  other bytes    T NAME  same bytes, other time\n"
     "Exit status: 0 same entries with the same bytes and times, 1 they differ, 2 trouble.\n"
     "Examples:\n"
     "  quillomar-cli diff old.pod new.pod\n"
     "  quillomar-cli diff --json old.pod new.pod",
     declareDiff, [](Options& o, const CLI::App&, Console& c) { return runDiff(o.diff, c); }, kExitUsage},
    {"mount", "Show an archive as a read-only folder (Linux)",
     "The folder holds what extract would write: the same names (--lowercase as extract\n"
     "--lowercase), each file's date from its entry, files 0444 and folders 0555 owned by you.\n"
     "Entries extract refuses are left out, and mount says how many; of two entries on one\n"
     "path the later is shown. Files are read from the archive as they are read; once the\n"
     "archive changes on disk, reads fail with an I/O error. Every change fails with\n"
     "\"Read-only file system\". MOUNTPOINT must be an empty folder. mount returns once the\n"
     "folder is ready; with -f it stays until Ctrl+C, SIGTERM or unmount.\n"
     "Needs FUSE 3 (/dev/fuse and fusermount3); on Windows it says that mounting is\n"
     "available on Linux only (exit status 2).\n"
     "Examples:\n"
     "  quillomar-cli mount game.pod ~/game && grep -ri engine ~/game\n"
     "  quillomar-cli mount game.pod ~/game --lowercase\n"
     "  quillomar-cli unmount ~/game",
     declareMount, [](Options& o, const CLI::App&, Console& c) { return runMount(o.mount, c); }, kExitFailure},
    {"unmount", "Take a mounted archive's folder away again",
     "The same as 'fusermount3 -u MOUNTPOINT'; the mount's process ends with it.\n"
     "Example:\n"
     "  quillomar-cli unmount ~/game",
     declareUnmount, [](Options& o, const CLI::App&, Console& c) { return runUnmount(o.unmount, c); }, kExitFailure},
    {"add", "Add files and folders to an archive, replacing entries of the same names",
     "Each PATH is taken below DIR and stored under its path there, upper-cased as pack stores\n"
     "names; a folder adds every file below it. A file whose stored name an entry has (in any\n"
     "case) replaces that entry's bytes and date; every problem is reported before anything is\n"
     "written.\n"
     EDIT_HELP "Examples:\n"
     "  quillomar-cli add game.pod art/planes/f1.pbm -C work\n"
     "  quillomar-cli add game.pod readme.txt --as docs/readme.txt -v\n"
     "  quillomar-cli add game.pod sounds -C work --dry-run",
     declareAdd, [](Options& o, const CLI::App& v, Console& c) { return runEditVerb(o, v, c, EditVerb::Add); },
     kExitFailure},
    {"rm", "Remove entries from an archive",
     PATTERN_HELP "Nothing is written when a NAME matches nothing.\n" EDIT_HELP "Examples:\n"
     "  quillomar-cli rm game.pod readme.txt\n"
     "  quillomar-cli rm game.pod 'art/**/*.psd' old -v",
     declareRemove, [](Options& o, const CLI::App& v, Console& c) { return runEditVerb(o, v, c, EditVerb::Remove); },
     kExitFailure},
    {"mv", "Rename an entry, or a folder with every entry below it",
     "FROM is a stored name or a folder, in any case; TO is the whole new name. Refused when TO\n"
     "already exists or cannot be stored.\n" EDIT_HELP "Examples:\n"
     "  quillomar-cli mv game.pod readme.txt docs/readme.txt\n"
     "  quillomar-cli mv game.pod art/planes art/aircraft -v",
     declareMove, [](Options& o, const CLI::App& v, Console& c) { return runEditVerb(o, v, c, EditVerb::Move); },
     kExitFailure},
    {"set", "Change the header fields of an archive",
     "Texts are stored as at most 79 bytes. A POD2 archive gets a POD3 header (with -o).\n" EDIT_HELP "Examples:\n"
     "  quillomar-cli set game.pod --author 'Jo' --priority 1200\n"
     "  quillomar-cli set old2.pod --description 'Converted' -o new3.pod",
     declareSet, [](Options& o, const CLI::App& v, Console& c) { return runEditVerb(o, v, c, EditVerb::Set); },
     kExitFailure},
    {"help", "Show the help of the tool or of one verb", "Example:\n  quillomar-cli help extract", declareHelp, nullptr,
     kExitFailure},
};

const Verb* findVerb(const std::string& name) {
    for (const Verb& verb : kVerbs) {
        if (name == verb.name) return &verb;
    }
    return nullptr;
}

std::string unknownVerbError(const std::string& name) {
    std::string known;
    for (const Verb& verb : kVerbs) known += (known.empty() ? "" : ", ") + std::string(verb.name);
    return "unknown verb '" + name + "' (" + known + ")";
}

// CLI11 reports a mistyped verb as a missing one; name it instead.
std::string unknownVerb(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--codepage") {
            ++i;
            continue;
        }
        if (argument.starts_with("-")) continue;
        return findVerb(argument) != nullptr ? std::string() : argument;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    prepareProcess();
    // The system's error texts in the language of the program's own messages.
    setSystemErrorLanguage(currentLanguage() == Language::French ? "fr" : "");
    std::vector<std::string> arguments = utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = pointers.data();
    // Ended by a signal, the tool leaves no temporary file; a file-size limit is a write failure.
    ignoreFileSizeSignal();
    exitCleanlyOnTermination("quillomar-cli");

    CLI::App app{"Packs folders into POD3 archives and reads POD2 and POD3 archives.", "quillomar-cli"};
    app.set_version_flag("--version", versionText(), "Show the version and exit");
    app.require_subcommand(1);
    app.fallthrough();
    app.footer(
        "Archive names and header texts are stored in a Windows code page: --codepage, else\n"
        "the environment variable QUILLOMAR_CODEPAGE, else 1252.\n"
        "Exit status: 0 when everything asked was done, 1 when anything failed, 2 for a usage error.\n"
        "Run 'quillomar-cli VERB --help' for the options and examples of each verb.");

    int codePageNumber = 1252;
    const CLI::Option* codePageOption =
        app.add_option("--codepage", codePageNumber, "Windows code page of archive texts (1250 to 1258)")
            ->type_name("N");

    Options options;
    for (const Verb& verb : kVerbs) {
        CLI::App* command = app.add_subcommand(verb.name, verb.summary);
        verb.declare(*command, options);
        command->footer(verb.footer);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const std::vector<CLI::App*> verbs = app.get_subcommands();
        if (!verbs.empty()) return usageError(e.what(), verbs.front()->get_name());
        const std::string unknown = unknownVerb(argc, argv);
        if (!unknown.empty()) return usageError(unknownVerbError(unknown));
        return usageError(e.what());
    }

    const CLI::App* command = app.get_subcommands().front();
    const Verb& chosen = *findVerb(command->get_name());
    if (chosen.run == nullptr) {
        if (options.helpTopic.empty()) {
            std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
            return kExitSuccess;
        }
        if (findVerb(options.helpTopic) == nullptr) return usageError(unknownVerbError(options.helpTopic));
        std::cout << app.get_subcommand(options.helpTopic)->help(app.get_name());
        return kExitSuccess;
    }

    std::string problem;
    if (!chooseCodePage(codePageOption, codePageNumber, problem)) return usageError(problem);

    Console console;
    setMessageSink(&console);
    int status = chosen.run(options, *command, console);
    // What went through stdio (summaries, verify's verdict) must have reached its destination too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        reportOutputError(errno);
        status = chosen.troubleStatus;
    }
    setMessageSink(nullptr);
    return status;
}
