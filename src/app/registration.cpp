#include "app/registration.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>

#include "app/desktopentry.h"
#include "app/embeddedfiles.h"
#include "app/registrationkeys.h"
#include "platform/asciicase.h"
#include "platform/desktop.h"
#include "platform/fileio.h"
#include "platform/filesystem.h"
#include "platform/folderlock.h"
#include "platform/registry.h"
#include "platform/tempdir.h"

namespace quillomar {

int status::fromErrno(int error) {
    // 0x8007xxxx: severity failure, the system facility, the error number.
    const auto code = static_cast<std::uint32_t>(error == 0 ? EIO : error) & 0xFFFFu;
    return static_cast<std::int32_t>(0x80070000u | code);
}

namespace {

// The folders whose caches the desktop keeps, the tool that rebuilds each, and what that tool
// writes there.
struct CacheFolder {
    std::string_view folder;
    std::string_view tool;
    std::span<const std::string_view> generated;
};
constexpr std::string_view kMimeCaches[] = {"aliases",   "generic-icons", "globs",      "globs2",
                                            "icons",     "magic",         "mime.cache", "subclasses",
                                            "treemagic", "types",         "version",    "XMLnamespaces"};
constexpr std::string_view kDesktopCaches[] = {"mimeinfo.cache"};
constexpr std::array<CacheFolder, 2> kCacheFolders{{
    {"mime", "update-mime-database", kMimeCaches},
    {"applications", "update-desktop-database", kDesktopCaches},
}};

// Whether a folder stands at path (links followed).
bool isFolder(const std::string& path) {
    const Result<FileStatus> status = fileStatus(path);
    return status && status->kind == FileKind::Folder;
}

bool isEmptyFolder(const std::string& path) {
    const FolderListing listing = listFolder(path);
    return listing.error == 0 && listing.unreachable == 0 && listing.items.empty();
}

// Loads the store under an exclusive lock on its folder (so no lock file is left), applies the
// step's values and saves when anything changed. Without the folder nothing was ever registered
// here, and unregistering has nothing to do.
int editStore(const std::string& folder, registration::KeyGroup group, registration::Step step,
              const std::string& library) {
    if (step == registration::Step::Register) {
        if (const Failure failure = createFolders(folder, 0700); failure.failed())
            return status::fromErrno(failure.error);
    } else if (!isFolder(folder)) {
        return status::kOk;
    }
    const Result<FolderHandle> lock = lockFolder(folder);
    if (!lock) return status::fromErrno(lock.failure().error);
    const std::string path = folder + "/" + std::string(RegistryStore::kFileName);
    RegistryStore store;
    if (const Failure failure = store.load(path); failure.failed()) return status::fromErrno(failure.error);
    const std::string before = store.serialize();
    registration::applyRegistrationStep(store, group, step, library, parentFolder(library));
    const Failure failure = store.serialize() == before ? Failure() : store.save(path);
    return failure.failed() ? status::fromErrno(failure.error) : status::kOk;
}

// The desktop association's files for the program at programPath, relative to the data folder,
// in the order they are installed: the desktop entry comes last, so that it never names an icon
// or a type that is not there yet.
struct DesktopFile {
    std::string relativePath;
    std::string contents;
};
std::vector<DesktopFile> desktopFiles(const std::string& programPath) {
    std::vector<DesktopFile> files;
    auto add = [&files](const std::string& embedded, std::string relativePath) {
        files.push_back({std::move(relativePath), std::string(embeddedFile(embedded))});
    };
    add("quillomar.svg", "icons/hicolor/scalable/apps/quillomar.svg");
    for (int size : kIconSizes) {
        const std::string n = std::to_string(size);
        add("quillomar-" + n + ".png", "icons/hicolor/" + n + "x" + n + "/apps/quillomar.png");
    }
    add("quillomar-mime.xml", "mime/packages/quillomar.xml");
    add("org.quillomar.quillomar.metainfo.xml", "metainfo/org.quillomar.quillomar.metainfo.xml");
    files.push_back({"applications/quillomar.desktop", desktopEntry(programPath)});
    return files;
}

// Removes the files, then the folders they were in when that leaves them empty, up to the data
// folder; the cache folders are left to the refresh. A file already gone is no error.
int removeDesktopFiles(const std::string& dataHome) {
    int firstError = 0;
    const std::vector<DesktopFile> files = desktopFiles({});
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        const std::string path = dataHome + "/" + file->relativePath;
        const Failure removed = removeFile(path);
        if (removed.failed() && removed.error != ENOENT && firstError == 0) firstError = removed.error;
        const bool inCache = std::any_of(kCacheFolders.begin(), kCacheFolders.end(), [&](const CacheFolder& cache) {
            return file->relativePath.starts_with(std::string(cache.folder) + "/");
        });
        std::string folder = parentFolder(path);
        while (!inCache && folder.size() > dataHome.size() && !removeEmptyFolder(folder).failed())
            folder = parentFolder(folder);
    }
    return firstError;
}

int installDesktopFiles(const std::string& dataHome, const std::string& programPath) {
    if (desktopExecValue(programPath).empty()) return EILSEQ;
    Failure failure;
    for (const DesktopFile& file : desktopFiles(programPath)) {
        const std::string path = dataHome + "/" + file.relativePath;
        failure = file.contents.empty() ? Failure::system(ENOENT, path) : createFolders(parentFolder(path), 0700);
        if (!failure.failed()) failure = writeFileAtomically(path, file.contents, 0644);
        if (failure.failed()) break;
    }
    if (failure.failed()) removeDesktopFiles(dataHome);
    return failure.error;
}

// Each cache folder is rebuilt by its tool; one that then holds nothing but what the tool wrote
// (and empty folders) describes nothing, and goes.
void refreshCaches(const RegistrationSetup& setup) {
    for (const CacheFolder& cache : kCacheFolders) {
        const std::string folder = setup.dataHome + "/" + std::string(cache.folder);
        if (!isFolder(folder)) continue;
        const std::string tool(cache.tool);
        setup.runTool ? setup.runTool(tool, folder) : void(runQuietly({tool, folder}));
        const FolderListing listing = listFolder(folder);
        // An item that could not be examined might be anything: the folder stays.
        const bool derivedOnly =
            listing.error == 0 && listing.unreachable == 0 &&
            std::all_of(listing.items.begin(), listing.items.end(), [&](const FolderItem& item) {
                const bool generated =
                    std::find(cache.generated.begin(), cache.generated.end(), item.name) != cache.generated.end();
                return generated ? item.status.kind == FileKind::Regular
                                 : item.status.kind == FileKind::Folder && isEmptyFolder(folder + "/" + item.name);
            });
        if (derivedOnly) removeTree(folder);
    }
}

std::string programPath(const RegistrationSetup& setup) {
    return setup.programPath.empty() ? runningProgramPath() : setup.programPath;
}

// The type library is loaded from the program's own file: the file must be there.
bool libraryLoads(const std::string& library) { return !library.empty() && fileStatus(library).ok(); }

// The application identity: its registry values, and the desktop's side of it: POD archives open
// with this program.
int identity(const RegistrationSetup& setup, registration::Step step) {
    using registration::KeyGroup;
    using registration::Step;
    const std::string store = setup.configHome + "/quillomar";
    const std::string program = programPath(setup);
    const bool registering = step == Step::Register;
    const int result = registering ? editStore(store, KeyGroup::Application, step, program) : status::kOk;
    if (result != status::kOk) return result;
    const int error = registering ? installDesktopFiles(setup.dataHome, program) : removeDesktopFiles(setup.dataHome);
    refreshCaches(setup);
    if (error != 0) return status::fromErrno(error);
    return registering ? status::kOk : editStore(store, KeyGroup::Application, step, program);
}

// Constructed with the other statics, before the entry point runs.
[[maybe_unused]] const bool kProcessModuleReady = (ServerModule::process(), true);

}  // namespace

ServerModule::ServerModule(RegistrationSetup setup)
    : setup_(std::move(setup)), initFailed_(!setup_.configHome.starts_with('/') || !setup_.dataHome.starts_with('/')) {}

ServerModule& ServerModule::process() {
    static ServerModule module(
        {userBaseFolder("XDG_CONFIG_HOME", "/.config"), userBaseFolder("XDG_DATA_HOME", "/.local/share"), {}, {}});
    return module;
}

int ServerModule::registerServer() {
    const int result = identity(setup_, registration::Step::Register);
    if (result != status::kOk) return result;
    const std::string library = programPath(setup_);
    return libraryLoads(library) ? editStore(setup_.configHome + "/quillomar", registration::KeyGroup::TypeLibrary,
                                             registration::Step::Register, library)
                                 : status::kTypeLibraryNotLoaded;
}

int ServerModule::unregisterServer() {
    const std::string library = programPath(setup_);
    if (!libraryLoads(library)) return status::kTypeLibraryNotLoaded;
    const int result = editStore(setup_.configHome + "/quillomar", registration::KeyGroup::TypeLibrary,
                                 registration::Step::Unregister, library);
    return result != status::kOk ? result : identity(setup_, registration::Step::Unregister);
}

}  // namespace quillomar
