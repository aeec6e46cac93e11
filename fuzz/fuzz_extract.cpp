// Any bytes as an archive, extracted below a fresh root that holds planted symbolic links (to a
// folder outside, to a file outside, and a dangling one). Whatever the archive says:
//   - nothing is created or changed outside the root, and no link is followed or added;
//   - a result of 1 comes with no message and every entry on disk with its own bytes;
//   - a result of 0 comes with at least one message;
//   - temporary copies land in the private folder and are all gone after close().

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "fuzzsupport.h"
#include "platform/messages.h"
#include "platform/progress.h"

using namespace quillomar;

namespace {

// The engine shows nothing itself: any message is a fault.
struct CountingSink : MessageSink {
    void stringMessage(int) override { ++count; }
    void systemError(const std::string&) override { ++count; }
    int count = 0;
};

// What the extraction told: failures (refused or not written entries, and a stop).
struct CountingObserver : ExtractionObserver {
    void largeOutput(std::uint64_t, std::uint64_t) override {}
    void failed(const Failure& failure) override {
        fuzz::check(failure.failed(), "an empty record was told as a failure");
        ++failures;
    }
    void overwritten(std::size_t) override {}
    void stopped(const Failure&, std::size_t, std::size_t) override { ++failures; }
    int failures = 0;
};

struct Steps : ProgressSink {
    void setRange(int low, int high) override {
        fuzz::check(low == 0 && high == expected, "progress range is not 0 .. the entry count");
    }
    void step() override { ++steps; }
    int expected = 0;
    int steps = 0;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Paths {
    std::string run, archive, outside, victim, root, runtime;
};

const Paths& paths() {
    static const Paths p = [] {
        Paths made;
        made.run = fuzz::sandbox() + "/run";
        made.archive = made.run + "/input.pod";
        made.outside = made.run + "/outside";
        made.victim = made.outside + "/victim.txt";
        made.root = made.run + "/root";
        made.runtime = made.run + "/runtime";
        ::setenv("XDG_RUNTIME_DIR", made.runtime.c_str(), 1);
        return made;
    }();
    return p;
}

// Links planted in the root before every extraction: name -> target.
const std::map<std::string, std::string> kPlanted = {
    {"LINKDIR", "../outside"},
    {"LEAF.TXT", "../outside/victim.txt"},
    {"DANGLING", "../outside/made-through-a-link"},
};

void prepare(const std::uint8_t* data, std::size_t size) {
    const Paths& p = paths();
    fuzz::removeTree(p.run);
    if (::mkdir(p.run.c_str(), 0700) != 0 || ::mkdir(p.outside.c_str(), 0700) != 0 ||
        ::mkdir(p.root.c_str(), 0700) != 0 || ::mkdir(p.runtime.c_str(), 0700) != 0) {
        fuzz::fail("cannot prepare the sandbox", p.run);
    }
    static const std::uint8_t kVictim[] = {'v', 'i', 'c', 't', 'i', 'm'};
    fuzz::writeBytes(p.victim, kVictim, sizeof kVictim);
    for (const auto& [name, target] : kPlanted) {
        if (::symlink(target.c_str(), (p.root + "/" + name).c_str()) != 0) fuzz::fail("cannot plant a link", name);
    }
    fuzz::writeBytes(p.archive, data, size);
}

// Everything in the sandbox must be what prepare() made, or a real folder or file inside the root.
void checkNothingEscaped() {
    const Paths& p = paths();
    static const Paths* current = nullptr;
    current = &p;
    ::nftw(
        p.run.c_str(),
        [](const char* item, const struct stat* st, int, struct FTW*) -> int {
            const Paths& q = *current;
            std::string path = item;
            if (path == q.run || path == q.archive || path == q.outside || path == q.victim || path == q.runtime)
                return 0;
            if (path.rfind(q.runtime + "/", 0) == 0) {
                // Only the user's private folder itself stays once the archive is closed.
                fuzz::check(S_ISDIR(st->st_mode) && path == q.runtime + "/quillomar-" + std::to_string(::getuid()),
                            "something stayed in the temporary folder after close", path);
                return 0;
            }
            fuzz::check(path.rfind(q.root, 0) == 0, "a file was created outside the root", path);
            if (path == q.root) return 0;
            if (S_ISLNK(st->st_mode)) {
                std::string name = path.substr(q.root.size() + 1);
                auto planted = kPlanted.find(name);
                fuzz::check(planted != kPlanted.end(), "extraction made a symbolic link", path);
                char target[256] = {};
                ssize_t n = ::readlink(item, target, sizeof target - 1);
                fuzz::check(n > 0 && planted->second == std::string(target, static_cast<std::size_t>(n)),
                            "a planted link was changed", path);
                return 0;
            }
            fuzz::check(S_ISDIR(st->st_mode) || S_ISREG(st->st_mode), "extraction made a special file", path);
            return 0;
        },
        32, FTW_PHYS);
    fuzz::check(readAll(p.victim) == "victim", "the file outside the root was changed");
}

std::string entryData(const PodArchive& archive, const ArchiveEntry& entry) {
    std::string bytes(entry.size, '\0');
    std::int64_t got = archive.readEntryData(entry, 0, std::as_writable_bytes(std::span(bytes))).count;
    fuzz::check(got == static_cast<std::int64_t>(bytes.size()), "an entry's data could not be read", entry.name);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Paths& p = paths();
    prepare(data, size);
    CountingSink sink;
    MessageSink* previous = setMessageSink(&sink);
    {
        PodArchive archive;
        if (archive.open(p.archive) == 1 && archive.readDirectory() == 1) {
            Steps progress;
            progress.expected = static_cast<int>(archive.entries().size());
            CountingObserver told;
            const Result<Extracted> done = archive.extractAll(p.root, told, &progress);
            fuzz::check(done.ok(), "the extraction could not use its root");
            fuzz::check(progress.steps == progress.expected, "progress was not stepped once per entry");
            fuzz::check(done->complete() == (told.failures == 0), "the result and the failures told disagree");
            checkNothingEscaped();

            if (done->complete()) {
                // The last entry extracted to a path is the one on disk.
                std::map<std::string, const ArchiveEntry*> last;
                for (const ArchiveEntry& entry : archive.entries()) {
                    std::optional<std::string> relative = safeRelativePath(entry.name);
                    fuzz::check(relative.has_value(), "an unsafe name was extracted without a message", entry.name);
                    last[*relative] = &entry;
                }
                for (const auto& [relative, entry] : last) {
                    struct stat st {};
                    std::string target = p.root + "/" + relative;
                    fuzz::check(::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode), "an entry is missing",
                                target);
                    fuzz::check(readAll(target) == entryData(archive, *entry), "an entry holds other bytes", target);
                }
            }

            // Temporary copies of the first few entries.
            // Two entries with one name share a copy, so only a name's first entry is compared.
            const std::string privateFolder = p.runtime + "/quillomar-" + std::to_string(::getuid()) + "/";
            std::map<std::string, int> copied;
            for (std::size_t i = 0; i < archive.entries().size() && i < 3; ++i) {
                const ArchiveEntry& entry = archive.entries()[i];
                const Result<std::string> copy = archive.writeTemporaryCopy(entry);
                if (!copy) {
                    fuzz::check(copy.failure().failed(), "no temporary copy and no reason", entry.name);
                    continue;
                }
                fuzz::check(copy->rfind(privateFolder, 0) == 0, "a temporary copy left the private folder", *copy);
                if (copied[*copy]++ == 0) {
                    fuzz::check(readAll(*copy) == entryData(archive, entry), "a temporary copy holds other bytes",
                                *copy);
                }
            }
        }
    }  // the archive is closed here: its temporary copies go
    checkNothingEscaped();
    fuzz::check(sink.count == 0, "the engine showed a message itself");
    setMessageSink(previous);
    return 0;
}
