#include "app/registration.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "app/registration_desktop.h"
#include "app/registration_script.h"
#include "app/registration_typelib.h"

extern char** environ;

namespace quillomar {

int status::fromErrno(int error) {
    // 0x8007xxxx: severity failure, the system facility, the error number.
    auto code = static_cast<std::uint32_t>(error == 0 ? EIO : error) & 0xFFFFu;
    return static_cast<std::int32_t>(0x80070000u | code);
}

namespace {

// An XDG base folder: the variable when it holds an absolute path, else home + fallback.
std::string baseFolder(const char* variable, const std::string& home, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return value;
    if (home.empty()) return {};
    return home + fallback;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Runs a tool found on PATH with one argument, its output discarded; the outcome is not used.
void runToolFromPath(const std::string& tool, const std::string& folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string toolArgument = tool;
    std::string folderArgument = folder;
    char* argv[] = {toolArgument.data(), folderArgument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, tool.c_str(), &actions, nullptr, argv, environ) == 0) {
        int waitStatus = 0;
        while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// Constructed with the other statics, before the entry point runs.
[[maybe_unused]] const bool kProcessModuleReady = (ServerModule::process(), true);

}  // namespace

ServerModule::ServerModule(RegistrationSetup setup) : setup_(std::move(setup)) {
    initFailed_ = setup_.configHome.empty() || setup_.configHome[0] != '/' || setup_.dataHome.empty() ||
                  setup_.dataHome[0] != '/';
}

ServerModule ServerModule::fromEnvironment() {
    std::string home = homeFolder();
    RegistrationSetup setup;
    setup.configHome = baseFolder("XDG_CONFIG_HOME", home, "/.config");
    setup.dataHome = baseFolder("XDG_DATA_HOME", home, "/.local/share");
    return ServerModule(std::move(setup));
}

ServerModule& ServerModule::process() {
    static ServerModule module = fromEnvironment();
    return module;
}

std::string ServerModule::storeFolder() const { return setup_.configHome + "/quillomar"; }

std::string ServerModule::storePath() const { return storeFolder() + "/" + std::string(RegistryStore::kFileName); }

std::string ServerModule::programPath() const {
    if (!setup_.programPath.empty()) return setup_.programPath;
    std::vector<char> buffer(4096);
    while (true) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

int ServerModule::editStore(bool createFolder, const std::function<int(RegistryStore&)>& edit) {
    std::string folder = storeFolder();
    if (createFolder) {
        if (int error = createFolders(folder, 0700); error != 0) return status::fromErrno(error);
    } else if (!isFolder(folder)) {
        // Nothing was ever registered here: an empty store, and no folder is made for it.
        RegistryStore empty;
        return edit(empty);
    }
    DirectoryLock lock;
    if (int error = lock.lock(folder); error != 0) return status::fromErrno(error);
    RegistryStore store;
    if (int error = store.load(storePath()); error != 0) return status::fromErrno(error);
    std::string before = store.serialize();
    int result = edit(store);
    if (result != status::kOk) return result;
    if (store.serialize() == before) return status::kOk;
    if (int error = store.save(storePath()); error != 0) return status::fromErrno(error);
    return status::kOk;
}

void ServerModule::refreshCaches(bool mimeChanged) const {
    auto run = [this](const std::string& tool, const std::string& folder) {
        if (!isFolder(folder)) return;
        if (setup_.runTool) {
            setup_.runTool(tool, folder);
        } else {
            runToolFromPath(tool, folder);
        }
    };
    if (mimeChanged) run("update-mime-database", setup_.dataHome + "/" + kMimeFolder);
    run("update-desktop-database", setup_.dataHome + "/" + kApplicationsFolder);
}

int ServerModule::runScript(bool registering) {
    const std::map<std::string, std::string> replacements{{"APPID", std::string(kAppId)}};
    if (registering) {
        int result = editStore(true, [&](RegistryStore& store) {
            return runRegistryScript(kRegistryScript, replacements, ScriptMode::Register, store);
        });
        if (result != status::kOk) return result;
        // The desktop's side of the application identity: POD archives open with this program.
        int error = installDesktopFiles(setup_.dataHome, programPath());
        refreshCaches(true);
        return error == 0 ? status::kOk : status::fromErrno(error);
    }
    int error = removeDesktopFiles(setup_.dataHome);
    refreshCaches(true);
    if (error != 0) return status::fromErrno(error);
    return editStore(false, [&](RegistryStore& store) {
        return runRegistryScript(kRegistryScript, replacements, ScriptMode::Unregister, store);
    });
}

int ServerModule::registerTypeLibrary() {
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary(programPath());
    if (!library) return status::kTypeLibraryNotLoaded;
    return editStore(true, [&](RegistryStore& store) {
        return quillomar::registerTypeLibrary(*library, store) ? status::kOk : status::fromErrno(EINVAL);
    });
}

int ServerModule::unregisterTypeLibrary() {
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary(programPath());
    if (!library) return status::kTypeLibraryNotLoaded;
    return editStore(false, [&](RegistryStore& store) {
        quillomar::unregisterTypeLibrary(library->attributes, store);
        return status::kOk;
    });
}

int ServerModule::registerServer() {
    int result = runScript(true);
    if (result != status::kOk) return result;
    return registerTypeLibrary();
}

int ServerModule::unregisterServer() {
    int result = unregisterTypeLibrary();
    if (result != status::kOk) return result;
    return runScript(false);
}

}  // namespace quillomar
