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

namespace {

using namespace quillomar;
using namespace quillomar::cli;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string versionText()
{
    std::string text = "quillomar-cli (" + loadString(kMsgProgramName) + ") ";
    text.append(version::kFileVersion).append("\n");
    text.append(version::kFileDescription).append("\n");
    text.append(version::kLegalCopyright);
    return text;
}

int usageError(const std::string& what, const std::string& verb = {})
{
    const std::string help = verb.empty() ? "quillomar-cli --help" : "quillomar-cli " + verb + " --help";
    std::fprintf(stderr, "quillomar-cli: %s\nRun '%s' for more information.\n", what.c_str(), help.c_str());
    return kExitUsage;
}

// CLI11 reports a mistyped verb as a missing one; name it instead.
std::string unknownVerb(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--codepage") {
            ++i;
            continue;
        }
        if (argument.starts_with("-")) continue;
        for (const char* verb : {"pack", "info", "list", "extract", "cat", "verify"}) {
            if (argument == verb) return {};
        }
        return argument;
    }
    return {};
}

// The archive code page: --codepage, else QUILLOMAR_CODEPAGE, else 1252.
bool chooseCodePage(const CLI::Option* option, int number, std::string& problem)
{
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
void preferLargeHeapPages()
{
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

int main(int argc, char** argv)
{
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
    packVerb->add_option("--author", pack.author, "Author text of the header")->capture_default_str();
    packVerb->add_option("--description", pack.description, "Description text of the header")
        ->capture_default_str();
    packVerb->add_option("--copyright", pack.copyright, "Copyright text of the header")->capture_default_str();
    packVerb->add_option("--priority", pack.priority, "Priority number of the header")->capture_default_str();
    packVerb->add_flag("--log", pack.log, "Also write the list of the folder's files to FOLDER/NAME.txt");
    packVerb->add_flag("-q,--quiet", pack.quiet, "No progress bar and no summary");
    packVerb->footer(
        "An existing archive is never replaced. Header texts are stored as at most 79 bytes.\n"
        "Examples:\n"
        "  quillomar-cli pack ~/mods/plane\n"
        "      writes ~/mods/plane/my_pod_name.pod\n"
        "  quillomar-cli pack ~/mods/plane -o plane.pod --author 'Jo' --priority 1200 --log");

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
    listVerb->add_flag("-l,--long", list.longFormat, "Also show each entry's size and date (UTC)");
    listVerb->add_flag("--json", list.json, "Print a JSON array of {name, size, offset, time}");
    listVerb->footer(
        "Names are shown as stored, with '\\' between folders.\n"
        "Examples:\n"
        "  quillomar-cli list plane.pod\n"
        "  quillomar-cli list -l plane.pod | sort -n\n"
        "  quillomar-cli list --json plane.pod");

    ExtractOptions extract;
    CLI::App* extractVerb = app.add_subcommand("extract", "Extract all entries, or the named ones, into a folder");
    extractVerb->add_option("ARCHIVE", extract.archive, "Archive to read")->required();
    extractVerb->add_option("NAME", extract.names, "Entries or folders to extract (default: all)");
    extractVerb->add_option("-C,--directory", extract.directory, "Destination folder, created when missing")
        ->type_name("DIR")
        ->capture_default_str();
    extractVerb->add_flag("-q,--quiet", extract.quiet, "No progress bar");
    extractVerb->footer(
        "Names match in any letter case, with '/' or '\\' between folders; a folder's name\n"
        "extracts everything below it. Existing files are replaced; entries keep their dates.\n"
        "Examples:\n"
        "  quillomar-cli extract plane.pod -C out\n"
        "  quillomar-cli extract plane.pod -C out art/planes/f1.pbm sounds");

    CatOptions cat;
    CLI::App* catVerb = app.add_subcommand("cat", "Write one entry's bytes to standard output");
    catVerb->add_option("ARCHIVE", cat.archive, "Archive to read")->required();
    catVerb->add_option("NAME", cat.name, "Entry to write")->required();
    catVerb->footer(
        "Examples:\n"
        "  quillomar-cli cat plane.pod readme.txt\n"
        "  quillomar-cli cat plane.pod 'art\\planes\\f1.pbm' > f1.pbm");

    VerifyOptions verify;
    CLI::App* verifyVerb = app.add_subcommand("verify", "Check that an archive is complete and consistent");
    verifyVerb->add_option("ARCHIVE", verify.archive, "Archive to check")->required();
    verifyVerb->footer(
        "Checks the header, the directory, the name table and every entry's data range\n"
        "against the file, and that every name can be extracted. Prints OK, or what is wrong.\n"
        "Example:\n"
        "  quillomar-cli verify plane.pod && echo fine");

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
            return usageError("unknown verb '" + unknown + "' (pack, info, list, extract, cat, verify)");
        return usageError(e.what());
    }

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
    }
    // What went through stdio (summaries, verify's verdict) must have reached its destination too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) reportOutputError(errno);

    setMessageSink(nullptr);
    return done && console.messageCount() == 0 ? kExitSuccess : kExitFailure;
}
