// mount and unmount: an archive shown as a read-only folder through FUSE, and taken away again.
//
// mount reads and checks the archive as every verb does, works out the folder extraction would
// write, checks the mount point and the FUSE device, and mounts. Without -f it then runs the file
// system in a child of its own session and returns only when the child has answered the kernel's
// first request, so the folder can be used as soon as the shell has its prompt back. SIGTERM,
// SIGINT and SIGHUP end the file system by unmounting it, never leaving a dead mount behind.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/extractcheck.h"
#include "archive/foldertree.h"
#include "archive/podarchive.h"
#include "cli/commands.h"
#include "cli/mountfs.h"
#include "platform/messages.h"

extern char** environ;

namespace quillomar::cli {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr const char* kFuseDevice = "/dev/fuse";
constexpr const char* kUnmountProgram = "fusermount3";

Console* libraryConsole = nullptr;

// The library's own messages ("fuse: ...") reach standard error in the tool's form.
void logFromLibrary(enum fuse_log_level, const char* format, va_list arguments) {
    if (libraryConsole == nullptr) return;
    std::string text = formatStringV(format, arguments);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    libraryConsole->error(text);
}

// A folder that exists and holds nothing: mounting over files would hide them.
Failure checkMountPoint(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return Failure::system(errno, path);
    if (!S_ISDIR(status.st_mode)) return Failure::system(ENOTDIR, path);
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) return Failure::system(errno, path);
    int error = 0;
    while (const dirent* item = ::readdir(folder)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0) {
            error = ENOTEMPTY;
            break;
        }
    }
    ::closedir(folder);
    return error == 0 ? Failure{} : Failure::system(error, path);
}

// Without the FUSE device, or without the right to use it, nothing can be mounted.
Failure checkFuseDevice() {
    const int fd = ::open(kFuseDevice, O_RDWR | O_CLOEXEC);
    if (fd < 0) return Failure::system(errno, kFuseDevice);
    ::close(fd);
    return {};
}

std::string absolutePath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A mount option's value, with the separators of the option list escaped.
std::string optionValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == ',' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::string entries(std::size_t count) { return std::to_string(count) + (count == 1 ? " entry" : " entries"); }

// What the folder leaves out of the archive, and why.
void reportLeftOut(const FolderTree& tree, Console& console) {
    if (tree.unsafe > 0) {
        console.error(entries(tree.unsafe) +
                      " not shown: unsafe names (\"..\", a leading separator or a drive), refused by extraction");
    }
    if (tree.tooLong > 0) {
        console.error(entries(tree.tooLong) + " not shown: a folder or file name is over " +
                      std::to_string(kMaxHostNameBytes) + " bytes in UTF-8");
    }
    if (tree.blocked > 0) {
        console.error(entries(tree.blocked) +
                      " not shown: a file of an earlier entry stands where a folder is needed, or a folder where the "
                      "file goes");
    }
    if (tree.replaced > 0) {
        console.error(entries(tree.replaced) + " not shown: a later entry lands on the same path");
    }
}

// The kernel reads ahead of a reader at most 128 KiB by default on a FUSE mount: a file copied out
// in large reads waits for this process every 128 KiB. Where the mount's read-ahead may be set
// (as root), it is raised to one request of the largest size. Otherwise the default stays.
void widenReadAhead(const std::string& mountPoint) {
    constexpr const char* kReadAheadKiB = "1024\n";
    struct stat status {};
    if (::geteuid() != 0 || ::stat(mountPoint.c_str(), &status) != 0) return;
    const std::string setting = "/sys/class/bdi/" + std::to_string(major(status.st_dev)) + ":" +
                                std::to_string(minor(status.st_dev)) + "/read_ahead_kb";
    const int fd = ::open(setting.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    static_cast<void>(::write(fd, kReadAheadKiB, std::strlen(kReadAheadKiB)));
    ::close(fd);
}

// SIGTERM, SIGINT and SIGHUP end the session's loop, after which the caller unmounts.
void unmountOnSignals(fuse_session* session) {
    // The library only takes over signals that nobody handles.
    for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) std::signal(signal, SIG_DFL);
    static_cast<void>(fuse_set_signal_handlers(session));
}

// Serves requests until the folder is unmounted or a signal ends it, then unmounts: 0, or -1 when
// the loop failed.
int serve(fuse_session* session) {
    unmountOnSignals(session);
    fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(config, 8);
    const int status = fuse_session_loop_mt(session, config);
    fuse_loop_cfg_destroy(config);
    fuse_remove_signal_handlers(session);
    fuse_session_unmount(session);
    fuse_session_destroy(session);
    return status < 0 ? -1 : 0;
}

// The child's side: a session of its own, no terminal, then the file system until the end.
[[noreturn]] void runInBackground(fuse_session* session, MountedArchive& archive, int readyFd) {
    archive.ready = [readyFd] {
        const char byte = 1;
        while (::write(readyFd, &byte, 1) < 0 && errno == EINTR) {}
        ::close(readyFd);
    };
    ::setsid();
    static_cast<void>(::chdir("/"));
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::dup2(null, fd);
        if (null > STDERR_FILENO) ::close(null);
    }
    libraryConsole = nullptr;
    ::_exit(serve(session) == 0 ? kDone : kFailed);
}

// Waits until the child says the file system answers, or ends before it does.
bool childIsReady(int readyFd) {
    char byte = 0;
    ssize_t got = 0;
    while ((got = ::read(readyFd, &byte, 1)) < 0 && errno == EINTR) {}
    ::close(readyFd);
    return got == 1;
}

// A field of /proc/self/mounts, whose blanks, tabs, line breaks and backslashes are octal escapes.
std::string mountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            field.substr(i + 1, 3).find_first_not_of("01234567") == std::string_view::npos) {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// True when an archive is mounted at path (an absolute path without links).
bool archiveMountedAt(const std::string& path) {
    std::FILE* mounts = std::fopen("/proc/self/mounts", "re");
    if (mounts == nullptr) return true;  // cannot tell: fusermount3 will
    bool found = false;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (!found && ::getline(&line, &capacity, mounts) > 0) {
        const std::string_view text(line);
        const std::size_t pointAt = text.find(' ');
        const std::size_t typeAt = pointAt == std::string_view::npos ? pointAt : text.find(' ', pointAt + 1);
        if (typeAt == std::string_view::npos) continue;
        found = text.substr(typeAt + 1).starts_with("fuse.quillomar ") &&
                mountField(text.substr(pointAt + 1, typeAt - pointAt - 1)) == path;
    }
    std::free(line);
    std::fclose(mounts);
    return found;
}

}  // namespace

int runMount(const MountOptions& options, Console& console) {
    PodArchive archive;
    if (!openArchive(archive, options.archive, ArchivePart::Directory, console)) return kFailed;
    MountedArchive mountedArchive;
    mountedArchive.archiveFd = archive.file().fd();
    if (::fstat(mountedArchive.archiveFd, &mountedArchive.archiveAtMount) != 0) {
        report(Failure::system(errno, options.archive));
        return kFailed;
    }
    const FolderTree tree =
        buildFolderTree(archive.entries(), options.lowercase ? ExtractedNames::LowerCase : ExtractedNames::AsStored);
    mountedArchive.tree = &tree;
    mountedArchive.entries = &archive.entries();
    mountedArchive.owner = ::getuid();
    mountedArchive.group = ::getgid();
    ::clock_gettime(CLOCK_REALTIME, &mountedArchive.mountTime);

    for (const Failure& problem : {checkMountPoint(options.mountPoint), checkFuseDevice()}) {
        if (problem.failed()) {
            report(problem);
            return kFailed;
        }
    }
    const std::string mountPoint = absolutePath(options.mountPoint);
    const std::string archivePath = absolutePath(options.archive);

    libraryConsole = &console;
    fuse_set_log_func(logFromLibrary);
    std::vector<std::string> arguments = {
        "quillomar-cli", "-o", "ro,default_permissions,subtype=quillomar,fsname=" + optionValue(archivePath)};
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    fuse_args fuseArguments{static_cast<int>(pointers.size()), pointers.data(), 0};
    fuse_session* session =
        fuse_session_new(&fuseArguments, &mountOperations(), sizeof(fuse_lowlevel_ops), &mountedArchive);
    fuse_opt_free_args(&fuseArguments);  // the copies the library made, if any
    if (session == nullptr || fuse_session_mount(session, mountPoint.c_str()) != 0) {
        if (session != nullptr) fuse_session_destroy(session);
        console.error("cannot mount " + options.archive + " on " + options.mountPoint);
        return kFailed;
    }

    if (options.foreground) {
        mountedArchive.ready = [&] {
            // The mount answers once this request's reply is sent: asked from another thread.
            std::thread(widenReadAhead, mountPoint).detach();
            reportLeftOut(tree, console);
            console.error(options.archive + " mounted on " + options.mountPoint +
                          "; Ctrl+C or 'quillomar-cli unmount' ends it");
        };
        if (serve(session) == 0) return kDone;
        console.error("the file system of " + options.mountPoint + " failed");
        return kFailed;
    }

    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        report(Failure::system(errno, options.mountPoint));
        fuse_session_unmount(session);
        fuse_session_destroy(session);
        return kFailed;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        runInBackground(session, mountedArchive, ready[1]);
    }
    ::close(ready[1]);
    if (child < 0 || !childIsReady(ready[0])) {
        if (child < 0) report(Failure::system(errno, options.mountPoint));
        fuse_session_unmount(session);
        fuse_session_destroy(session);
        console.error("cannot mount " + options.archive + " on " + options.mountPoint);
        return kFailed;
    }
    // The child serves the folder now, and the session is its own: this process leaves at once,
    // as a daemon's parent does, without unmounting or freeing what the library keeps for it.
    widenReadAhead(mountPoint);
    reportLeftOut(tree, console);
    std::fflush(nullptr);
    ::_exit(kDone);
}

int runUnmount(const UnmountOptions& options, Console& console) {
    // A folder whose file system has died cannot be resolved ("Transport endpoint is not
    // connected"): fusermount3 still takes it away.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(options.mountPoint.c_str(), nullptr), &std::free);
    if (resolved && !archiveMountedAt(resolved.get())) {
        console.error(options.mountPoint + ": no archive is mounted there");
        return kFailed;
    }
    // fusermount3 takes an option for a path that starts with '-'.
    const std::string path = options.mountPoint.starts_with("-") ? "./" + options.mountPoint : options.mountPoint;
    std::vector<std::string> arguments = {kUnmountProgram, "-u", path};
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_t child = 0;
    const int error = ::posix_spawnp(&child, kUnmountProgram, nullptr, nullptr, pointers.data(), environ);
    if (error != 0) {
        report(Failure::system(error, kUnmountProgram));
        return kFailed;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return kDone;
    console.error("cannot unmount " + options.mountPoint);
    return kFailed;
}

}  // namespace quillomar::cli
