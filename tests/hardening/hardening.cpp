#include "hardening.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <span>

#include "platform/fileio.h"
#include "testutil.h"

namespace quillomar::test {

namespace {

constexpr int kChildGaveUp = 77;

void putString(std::string& out, const std::string& text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    out.append(reinterpret_cast<const char*>(&length), sizeof length);
    out += text;
}

void putList(std::string& out, const std::vector<std::string>& list) {
    putString(out, std::to_string(list.size()));
    for (const std::string& item : list) putString(out, item);
}

struct Reader {
    const std::string& bytes;
    std::size_t at = 0;
    std::string next() {
        std::uint32_t length = 0;
        if (at + sizeof length > bytes.size()) return {};
        std::memcpy(&length, bytes.data() + at, sizeof length);
        at += sizeof length;
        std::string text = bytes.substr(at, length);
        at += length;
        return text;
    }
    std::vector<std::string> list() {
        std::vector<std::string> items(std::stoul(next()));
        for (std::string& item : items) item = next();
        return items;
    }
};

}  // namespace

std::optional<Outcome> runInChild(const std::function<int(Notes&)>& act, const std::function<bool()>& prepare) {
    int channel[2];
    if (::pipe(channel) != 0) {
        ADD_FAILURE() << "pipe failed";
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (prepare && !prepare()) ::_exit(kChildGaveUp);
        std::string out;
        {
            RecordingSink sink;
            Notes notes;
            const int result = act(notes);
            putString(out, std::to_string(result));
            std::vector<std::string> ids;
            for (int id : sink.ids) ids.push_back(std::to_string(id));
            putList(out, ids);
            putList(out, sink.systemErrors);
            putList(out, notes);
        }
        if (writeAllTo(channel[1], std::as_bytes(std::span(out.data(), out.size())), {}).failed()) ::_exit(2);
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kChildGaveUp) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "the child process died (status " << status << ")";
        return Outcome{};
    }
    Reader reader{bytes};
    Outcome outcome;
    outcome.result = std::stoi(reader.next());
    for (const std::string& id : reader.list()) outcome.ids.push_back(std::stoi(id));
    outcome.systemErrors = reader.list();
    outcome.notes = reader.list();
    return outcome;
}

bool dropPrivileges() {
    if (::geteuid() != 0) return true;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return false;
    return ::geteuid() == kNobody && ::getegid() == kNobody;
}

void giveToNobody(const std::string& path) {
    if (::geteuid() != 0) return;
    ::nftw(
        path.c_str(),
        [](const char* item, const struct stat*, int, struct FTW*) -> int {
            ::lchown(item, kNobody, kNobody);
            return 0;
        },
        32, FTW_PHYS);
}

namespace {

bool writeProcFile(const char* path, const std::string& text) {
    File file(::open(path, O_WRONLY | O_CLOEXEC), path);
    return file.valid() && !writeAllTo(file.fd(), std::as_bytes(std::span(text.data(), text.size())), {}).failed();
}

// A user namespace in which this user keeps its ids and gains the right to mount, with a mount
// namespace of its own: how an ordinary user gets a small file system (no root, no setuid tool).
// The process must have a single thread, as a forked child has.
bool enterOwnNamespaces() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    // The group map may only be written once setgroups is denied.
    return writeProcFile("/proc/self/setgroups", "deny") &&
           writeProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") &&
           writeProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n");
}

}  // namespace

bool mountSmallFileSystem(const std::string& path, std::size_t bytes) {
    // Root has the right already; anyone else (or a root without it, in a container) asks for a
    // user namespace.
    if (::unshare(CLONE_NEWNS) != 0 && !enterOwnNamespaces()) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    return ::mount("quillomar-test", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

FileSizeLimit::FileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved_;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
}

}  // namespace quillomar::test
