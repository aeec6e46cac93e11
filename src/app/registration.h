#pragma once
// Component-server registration: what "RegServer" and "UnregServer" write and remove.
//
// Registering runs the registry script (the application identity under HKEY_CLASSES_ROOT\AppID
// in the registry store, and the desktop association of POD archives for this user), then, only
// if that succeeded, registers the type library. Unregistering unregisters the type library,
// then, only if that succeeded, runs the script in unregistering mode. Nothing is shown on
// screen: the outcome is a status, which becomes the exit code.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace quillomar {

// Statuses, laid out as the 32-bit result codes of the component model: 0 for success, a
// negative value (severity bit set) for a failure. Linux keeps the low 8 bits of an exit code,
// so every failure status has a low byte other than zero: a failure never exits with 0.
namespace status {
inline constexpr int kOk = 0;
// The component-model stand-in could not be initialised; no switch is acted on.
inline constexpr int kComponentModelFailed = -1;
// The type library could be loaded neither from the program's file nor from the .tlb beside it.
inline constexpr int kTypeLibraryNotLoaded = static_cast<std::int32_t>(0x80029C4Au);
// The registry script could not be read.
inline constexpr int kScriptError = static_cast<std::int32_t>(0x80020009u);
// A failing system call: errno in the low 16 bits (exit code = errno), as system error codes
// are carried in result codes.
int fromErrno(int error);
}  // namespace status

// The application identity and the type library, as the program states them.
inline constexpr std::string_view kAppId = "{E1111D62-1426-4F18-9D1C-996D52361E8B}";
inline constexpr std::string_view kRegistryScript =
    "HKCR\r\n"
    "{\r\n"
    "\tNoRemove AppID\r\n"
    "\t{\r\n"
    "\t\t'%APPID%' = s 'Quillomar'\r\n"
    "\t\t'Quillomar.EXE'\r\n"
    "\t\t{\r\n"
    "\t\t\tval AppID = s '%APPID%'\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "}\r\n";

// Where registration keeps its records and files, and how it refreshes the desktop's caches.
struct RegistrationSetup {
    // The store lives in configHome + "/quillomar"; the desktop files go below dataHome.
    std::string configHome;
    std::string dataHome;
    // The program's own file; empty: the running program (/proc/self/exe).
    std::string programPath;
    // Runs a cache tool (update-mime-database, update-desktop-database) on a folder; empty: run
    // it from PATH when it is installed, and ignore its outcome.
    std::function<void(const std::string& tool, const std::string& folder)> runTool;
};

// The stand-in for the component model's process-wide server module: it settles, before the
// entry point runs, where this user's registration lives. Its initialisation fails when the
// user's configuration and data folders cannot be found (no absolute $XDG_CONFIG_HOME /
// $XDG_DATA_HOME, no $HOME and no home in the user database); the switch phase then ends with -1.
class ServerModule {
public:
    explicit ServerModule(RegistrationSetup setup);
    // From the environment, as described above.
    static ServerModule fromEnvironment();
    // The process-wide module, constructed before the entry point.
    static ServerModule& process();

    bool initFailed() const { return initFailed_; }
    const RegistrationSetup& setup() const { return setup_; }

    // The store's folder and file.
    std::string storeFolder() const;
    std::string storePath() const;

    // "RegServer" and "UnregServer": the two steps each, the second only after the first
    // succeeded. Return the status of the last step performed.
    int registerServer();
    int unregisterServer();

    // The single steps.
    int runScript(bool registering);
    int registerTypeLibrary();
    int unregisterTypeLibrary();

private:
    std::string programPath() const;
    // Locks the store's folder, loads the store, applies edit and saves when anything changed.
    int editStore(bool createFolder, const std::function<int(RegistryStore&)>& edit);
    void refreshCaches(bool mimeChanged) const;

    RegistrationSetup setup_;
    bool initFailed_ = false;
};

// The switch phase over a given module (runSwitchPhase uses the process-wide one).
int runSwitchPhase(const std::string& fullCommandLine, ServerModule& module);

}  // namespace quillomar
