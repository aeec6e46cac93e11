#pragma once
// Helpers for the registration tests: temporary folders, files, and a module set up in them.

#include <string>
#include <vector>

#include "app/registration.h"
#include "testutil.h"

namespace quillomar::test {

// Every file and folder below root, as paths relative to it, sorted.
std::vector<std::string> listTree(const std::string& root);
// True when the tool is found on PATH.
bool haveTool(const std::string& tool);
// Runs a command line through the shell; its exit status and its combined output.
int runCommand(const std::string& command, std::string* output = nullptr);

// A module whose configuration and data folders lie in a temporary folder, whose program is
// this test program, and which records the cache tools it would run instead of running them.
struct Sandbox {
    TempDir dir;
    std::vector<std::string> toolRuns;  // "tool folder"
    RegistrationSetup setup() {
        RegistrationSetup s;
        s.configHome = dir / "config";
        s.dataHome = dir / "data";
        s.runTool = [this](const std::string& tool, const std::string& folder) {
            toolRuns.push_back(tool + " " + folder);
        };
        return s;
    }
    std::string storeText() const { return readFile(dir.path() + "/config/quillomar/registry"); }
};

// The store text that registering leaves.
std::string registeredStoreText(const std::string& programPath);
// The store text that unregistering leaves: the AppID key alone.
inline constexpr const char* kOnlyAppIdKey = "; Quillomar registry store\n\n[HKEY_CLASSES_ROOT\\AppID]\n";

}  // namespace quillomar::test
