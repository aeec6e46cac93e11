#pragma once
// Helpers for fault injection: work done in a forked child (as an unprivileged user, or inside a
// small file system of its own) whose result and messages come back to the test, and a limit on
// the size of the files this process writes.

#include <sys/resource.h>
#include <sys/types.h>

#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillomar::test {

// The unprivileged user the child drops to when the tests run as root.
inline constexpr uid_t kNobody = 65534;

// What an operation in a child returned and showed, and what it noted about the disk meanwhile.
struct Outcome {
    int result = -1;
    std::vector<int> ids;
    std::vector<std::string> systemErrors;
    std::vector<std::string> notes;
};
using Notes = std::vector<std::string>;

// Runs act in a forked child under a RecordingSink. prepare runs first in the child; when it
// returns false the child gives up and nullopt comes back, for the test to skip. A child that
// dies is a test failure.
std::optional<Outcome> runInChild(const std::function<int(Notes&)>& act, const std::function<bool()>& prepare = {});

// In a child: makes permissions apply to this process. As root it drops to nobody (false when that
// fails); any other user is subject to permissions already.
bool dropPrivileges();

// When running as root, gives path and everything below it to nobody, so a dropped child owns it.
void giveToNobody(const std::string& path);

// In a child: mounts a tmpfs of the given size on path in a mount namespace of its own; as root
// directly, as any other user inside a user namespace that keeps the user's ids. False when the
// system allows neither (no privilege and no user namespaces).
bool mountSmallFileSystem(const std::string& path, std::size_t bytes);

// Writes past limit bytes into any regular file fail with EFBIG while this object lives
// (SIGXFSZ ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit saved_ {};
    void (*previous_)(int) = nullptr;
};

}  // namespace quillomar::test
