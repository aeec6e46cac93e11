// quillomar-cli: the Quillomar engine from a terminal.
//
// Exit status: 0 when everything asked was done, 1 when anything failed (each failure reported
// on standard error in the words of the window program's message boxes), 2 for a usage error.

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
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

namespace {

using namespace quillomar;
using namespace quillomar::cli;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kVerbs[] = {"pack", "info", "list", "extract", "cat", "verify", "diff", "help"};

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

// CLI11 reports a mistyped verb as a missing one; name it instead.
std::string unknownVerb(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--codepage") {
            ++i;
            continue;
        }
        if (argument.starts_with("-")) continue;
        for (const char* verb : kVerbs) {
            if (argument == verb) return {};
        }
        return argument;
    }
    return {};
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

// Loading the directory of a large archive makes a few allocations per entry: some tens of
// megabytes for a hundred thousand entries, and most of the time a listing takes goes to the
// page faults that first touch them. Growing the heap in large steps backed by transparent huge
// pages (where the kernel grants them on request) turns thousands of faults into a few.
void preferLargeHeapPages() {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    constexpr int kHeapStep = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, kHeapStep);  // large buffers from the heap too, reused once freed
    mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep);
    mallopt(M_TOP_PAD, kHeapStep);
    void* probe = std::malloc(kHugePage);  // more than the heap has left: it grows by the step
    const auto begin = (reinterpret_cast<std::uintptr_t>(probe) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kHugePage - 1);
    if (probe != nullptr && end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(probe);
}

}  // namespace

int main(int argc, char** argv) {
    // The C library's error texts in the language of the program's own messages.
    std::setlocale(LC_ALL, "");
    setSystemErrorLanguage(currentLanguage() == Language::French ? "fr" : "");
    preferLargeHeapPages();
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

    PackOptions pack;
    CLI::App* packVerb = app.add_subcommand("pack", "Pack a folder and all its sub-folders into a new POD3 archive");
    packVerb->add_option("FOLDER", pack.folder, "Folder to pack")->required();
    packVerb->add_option("-o,--output", pack.archive, "Archive to write (default: FOLDER/NAME.pod)")
        ->type_name("ARCHIVE");
    packVerb->add_option("--name", pack.name, "Name of the archive and of the log, without extension")
        ->capture_default_str();
    const CLI::Option* authorOption =
        packVerb->add_option("--author", pack.author, "Author text of the header")->capture_default_str();
    const CLI::Option* descriptionOption =
        packVerb->add_option("--description", pack.description, "Description text of the header")
            ->capture_default_str();
    const CLI::Option* copyrightOption =
        packVerb->add_option("--copyright", pack.copyright, "Copyright text of the header")->capture_default_str();
    const CLI::Option* priorityOption =
        packVerb->add_option("--priority", pack.priority, "Priority number of the header")->capture_default_str();
    packVerb->add_option("--like", pack.like, "Take description, author, copyright and priority from this archive")
        ->type_name("OLD.pod");
    packVerb
        ->add_option("--exclude", pack.excludes,
                     "Leave out files and folders matching PATTERN (repeatable; a pattern without '/'\n"
                     "matches a name at any depth)")
        ->type_name("PATTERN")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    packVerb
        ->add_option("--changed-from", pack.changedFrom,
                     "Pack only the files that BASE.pod lacks or holds with other bytes")
        ->type_name("BASE.pod");
    packVerb->add_flag("--dry-run", pack.dryRun, "Scan and check everything, report every problem, write nothing");
    packVerb->add_flag("--force", pack.force, "Replace an existing archive, once the new one is complete");
    packVerb->add_flag("--log", pack.log, "Also write the list of the folder's files to FOLDER/NAME.txt");
    packVerb->add_flag("-v,--verbose", pack.verbose, "List every file taken");
    packVerb->add_flag("-q,--quiet", pack.quiet, "No progress bar and no summary");
    packVerb->footer(
        "Without --force an existing file is never replaced. Header texts are stored as at most\n"
        "79 bytes. Before anything is written every file is checked: a name the code page cannot\n"
        "hold, a name over 259 bytes, a '\\' in a name, two files or a file and a folder that would\n"
        "have one stored name, an archive over 2 GiB - 1 bytes; each problem is reported.\n"
        "Examples:\n"
        "  quillomar-cli pack ~/mods/plane\n"
        "      writes ~/mods/plane/my_pod_name.pod\n"
        "  quillomar-cli pack ~/mods/plane -o plane.pod --author 'Jo' --priority 1200 --log\n"
        "  quillomar-cli pack ~/mods/plane -o plane.pod --exclude .git --exclude '*.psd' --dry-run\n"
        "  quillomar-cli pack ~/edited -o patch.pod --changed-from game.pod --like game.pod -v");

    InfoOptions info;
    CLI::App* infoVerb = app.add_subcommand("info", "Show the header of an archive and its total size");
    infoVerb->add_option("ARCHIVE", info.archive, "Archive to read")->required();
    infoVerb->add_flag("--json", info.json, "Print one JSON object");
    infoVerb->footer(
        "JSON keys: version, description, entryCount, author, copyright, priority (the last three\n"
        "null for POD2), totalSize, fileSize.\n"
        "Examples:\n"
        "  quillomar-cli info plane.pod\n"
        "  quillomar-cli info --json plane.pod");

    ListOptions list;
    CLI::App* listVerb = app.add_subcommand("list", "List the entries of an archive in directory order");
    listVerb->add_option("ARCHIVE", list.archive, "Archive to read")->required();
    listVerb->add_option("NAME", list.names, "Entries, folders or patterns to list (default: all)");
    listVerb->add_flag("-l,--long", list.longFormat, "Also show each entry's size and date (UTC)");
    listVerb->add_flag("--json", list.json, "Print a JSON array of {name, size, offset, time}");
    listVerb->add_flag("--slash", list.slash, "Show '/' between folders instead of '\\'");
    listVerb->add_flag("-0,--null", list.null, "End each name with a NUL byte instead of a line break (for xargs -0)");
    listVerb->footer("Names are shown as stored, with '\\' between folders unless --slash is given.\n" PATTERN_HELP
                     "Examples:\n"
                     "  quillomar-cli list plane.pod\n"
                     "  quillomar-cli list -l plane.pod | sort -n\n"
                     "  quillomar-cli list plane.pod 'art/**/*.pbm'\n"
                     "  quillomar-cli list --slash -0 plane.pod | xargs -0 -n1 echo");

    ExtractOptions extract;
    CLI::App* extractVerb = app.add_subcommand("extract", "Extract all entries, or the chosen ones, into a folder");
    extractVerb->add_option("ARCHIVE", extract.archive, "Archive to read")->required();
    extractVerb->add_option("NAME", extract.names, "Entries, folders or patterns to extract (default: all)");
    extractVerb->add_option("-C,--directory", extract.directory, "Destination folder, created when missing")
        ->type_name("DIR")
        ->capture_default_str();
    extractVerb->add_flag("--lowercase", extract.lowercase, "Give the folders and files lower-case names");
    extractVerb->add_flag("-q,--quiet", extract.quiet, "No progress bar");
    extractVerb->footer("Existing files are replaced; entries keep their dates.\n" PATTERN_HELP
                        "Examples:\n"
                        "  quillomar-cli extract plane.pod -C out\n"
                        "  quillomar-cli extract plane.pod -C out art/planes/f1.pbm sounds '*.txt'\n"
                        "  quillomar-cli extract plane.pod -C src --lowercase");

    CatOptions cat;
    CLI::App* catVerb = app.add_subcommand("cat", "Write entries' bytes to standard output");
    catVerb->add_option("ARCHIVE", cat.archive, "Archive to read")->required();
    catVerb->add_option("NAME", cat.names, "Entries, folders or patterns to write, in directory order")->required();
    catVerb->footer(PATTERN_HELP
                    "Examples:\n"
                    "  quillomar-cli cat plane.pod readme.txt\n"
                    "  quillomar-cli cat plane.pod 'art\\planes\\f1.pbm' > f1.pbm");

    VerifyOptions verify;
    CLI::App* verifyVerb = app.add_subcommand("verify", "Check that archives are complete and can be extracted");
    verifyVerb->add_option("ARCHIVE", verify.archives, "Archives to check")->required();
    verifyVerb->footer(
        "Checks the header, the directory, the name table and every entry's data range against\n"
        "the file, and that every entry can be extracted here (safe names, no name both a file\n"
        "and a folder, no two entries on one path, no component over 255 bytes). Prints one line\n"
        "per archive, starting with its path: OK, or what is wrong.\n"
        "Examples:\n"
        "  quillomar-cli verify plane.pod && echo fine\n"
        "  quillomar-cli verify ~/game/*.pod");

    DiffOptions diff;
    CLI::App* diffVerb = app.add_subcommand("diff", "Compare two archives entry by entry");
    diffVerb->add_option("A", diff.first, "First archive")->required();
    diffVerb->add_option("B", diff.second, "Second archive")->required();
    diffVerb->add_flag("--json", diff.json, "Print one JSON object {header, entries}");
    diffVerb->footer(
        "Header fields that differ come first, then one line per entry (names compared in any case):\n"
        "  + NAME  only in B      - NAME  only in A\n"
        "  M NAME  other bytes    T NAME  same bytes, other time\n"
        "Exit status: 0 same entries with the same bytes and times, 1 they differ, 2 trouble.\n"
        "Examples:\n"
        "  quillomar-cli diff old.pod new.pod\n"
        "  quillomar-cli diff --json old.pod new.pod");

    std::string helpTopic;
    CLI::App* helpVerb = app.add_subcommand("help", "Show the help of the tool or of one verb");
    helpVerb->add_option("VERB", helpTopic, "Verb to explain");
    helpVerb->footer("Example:\n  quillomar-cli help extract");

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
        if (!unknown.empty())
            return usageError("unknown verb '" + unknown + "' (pack, info, list, extract, cat, verify, diff, help)");
        return usageError(e.what());
    }

    if (helpVerb->parsed()) {
        if (helpTopic.empty()) {
            std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
            return kExitSuccess;
        }
        for (const CLI::App* verb :
             {packVerb, infoVerb, listVerb, extractVerb, catVerb, verifyVerb, diffVerb, helpVerb}) {
            if (verb->get_name() == helpTopic) {
                std::cout << verb->help(app.get_name());
                return kExitSuccess;
            }
        }
        return usageError("unknown verb '" + helpTopic + "' (pack, info, list, extract, cat, verify, diff, help)");
    }
    pack.textsGiven = {authorOption->count() > 0, descriptionOption->count() > 0, copyrightOption->count() > 0,
                       priorityOption->count() > 0};

    std::string problem;
    if (!chooseCodePage(codePageOption, codePageNumber, problem)) return usageError(problem);

    Console console;
    setMessageSink(&console);

    bool done = false;
    if (packVerb->parsed()) {
        done = runPack(pack, console);
    } else if (infoVerb->parsed()) {
        done = runInfo(info, console);
    } else if (listVerb->parsed()) {
        done = runList(list, console);
    } else if (extractVerb->parsed()) {
        done = runExtract(extract, console);
    } else if (catVerb->parsed()) {
        done = runCat(cat, console);
    } else if (verifyVerb->parsed()) {
        done = runVerify(verify, console);
    } else if (diffVerb->parsed()) {
        const int status = runDiff(diff, console);
        setMessageSink(nullptr);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kExitUsage;
        return status;
    }
    // What went through stdio (summaries, verify's verdict) must have reached its destination too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        reportOutputError(errno);
        done = false;
    }

    setMessageSink(nullptr);
    return done ? kExitSuccess : kExitFailure;
}
