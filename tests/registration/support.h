#pragma once
// Helpers for the registration tests: folder listings, shell commands, and a module set up in a
// temporary folder.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/embeddedfiles.h"
#include "app/registration.h"
#include "testutil.h"

namespace quillomar::test {

// Runs a command line through the shell; its exit status and its combined output.
inline int runCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveTool(const std::string& tool) { return runCommand("command -v " + tool + " >/dev/null") == 0; }

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
    std::string storeText() const { return readFile(dir / "config/quillomar/registry"); }
};

// The desktop files that registering installs.
inline const std::vector<std::string> kDesktopFiles = [] {
    std::vector<std::string> files{"applications/quillomar.desktop", "icons/hicolor/scalable/apps/quillomar.svg",
                                   "metainfo/org.quillomar.quillomar.metainfo.xml", "mime/packages/quillomar.xml"};
    for (int size : kIconSizes) {
        files.push_back("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/quillomar.png");
    }
    std::sort(files.begin(), files.end());
    return files;
}();

// The store text that registering leaves.
inline std::string registeredStoreText(const std::string& programPath) {
    const std::string version = "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0";
    return "; Quillomar registry store\n"
           "\n[HKEY_CLASSES_ROOT\\AppID]\n"
           "\n[HKEY_CLASSES_ROOT\\AppID\\Quillomar.EXE]\n"
           "\"AppID\"=\"{E1111D62-1426-4F18-9D1C-996D52361E8B}\"\n"
           "\n[HKEY_CLASSES_ROOT\\AppID\\{E1111D62-1426-4F18-9D1C-996D52361E8B}]\n"
           "@=\"Quillomar\"\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib]\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}]\n" +
           version + "]\n@=\"Biblioth\xc3\xa8que de types Quillomar 1.0\"\n\"Name\"=\"QuillomarLib\"\n" + version +
           "\\409]\n" + version + "\\409\\linux]\n@=\"" + programPath + "\"\n" + version + "\\FLAGS]\n@=\"0\"\n" +
           version + "\\HELPDIR]\n@=\"" + programPath.substr(0, programPath.rfind('/')) + "\"\n";
}

// The store text that unregistering leaves: the AppID key alone.
inline constexpr const char* kOnlyAppIdKey = "; Quillomar registry store\n\n[HKEY_CLASSES_ROOT\\AppID]\n";

}  // namespace quillomar::test
