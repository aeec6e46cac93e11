#pragma once
// Component-server registration: what "RegServer" writes and "UnregServer" removes.
//
// RegServer takes two steps: the application identity (its keys under AppID in the registry
// store, and the desktop association of POD archives for this user), then, only if that
// succeeded, the type library. UnregServer removes the type library, then, only if that
// succeeded, the identity. Nothing is shown: the outcome is a status, the exit code.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillomar {

// Statuses laid out as the component model's 32-bit result codes: 0 for success, negative for a
// failure. Linux keeps an exit code's low 8 bits, and no failure has a low byte of zero.
namespace status {
inline constexpr int kOk = 0;
// The component-model stand-in could not be initialised; no switch is acted on.
inline constexpr int kComponentModelFailed = -1;
// The type library could not be loaded: the program's own file cannot be found.
inline constexpr int kTypeLibraryNotLoaded = static_cast<std::int32_t>(0x80029C4Au);
// A failing system call: the error number in the low 16 bits, so the exit code is errno.
int fromErrno(int error);
}  // namespace status

inline constexpr std::string_view kAppId = "{E1111D62-1426-4F18-9D1C-996D52361E8B}";

struct RegistrationSetup {
    // The store lives in configHome + "/quillomar"; the desktop files go below dataHome.
    std::string configHome;
    std::string dataHome;
    // The program's own file; empty: the running program.
    std::string programPath;
    // Runs a cache tool (update-mime-database, update-desktop-database) on a folder; empty: the
    // tool from PATH, when installed, its outcome ignored.
    std::function<void(const std::string& tool, const std::string& folder)> runTool;
};

// The stand-in for the component model's server module, constructed before the entry point.
// Its initialisation fails when the user's configuration and data folders cannot be found (no
// absolute $XDG_CONFIG_HOME / $XDG_DATA_HOME and no home folder); the switch phase then gives -1.
class ServerModule {
public:
    explicit ServerModule(RegistrationSetup setup);
    // The process's module, from the environment.
    static ServerModule& process();

    bool initFailed() const { return initFailed_; }
    // Each returns the status of the last step taken.
    int registerServer();
    int unregisterServer();

private:
    RegistrationSetup setup_;
    bool initFailed_;
};

}  // namespace quillomar
