#include "support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillomar::test {

namespace fs = std::filesystem;

std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code ignored;
    if (!fs::exists(root, ignored)) return paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool haveTool(const std::string& tool) {
    return runCommand("command -v " + tool + " >/dev/null 2>&1") == 0;
}

int runCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = ::pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string registeredStoreText(const std::string& programPath) {
    std::string folder = programPath.substr(0, programPath.rfind('/'));
    return "; Quillomar registry store\n"
           "\n[HKEY_CLASSES_ROOT\\AppID]\n"
           "\n[HKEY_CLASSES_ROOT\\AppID\\Quillomar.EXE]\n"
           "\"AppID\"=\"{E1111D62-1426-4F18-9D1C-996D52361E8B}\"\n"
           "\n[HKEY_CLASSES_ROOT\\AppID\\{E1111D62-1426-4F18-9D1C-996D52361E8B}]\n"
           "@=\"Quillomar\"\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib]\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}]\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0]\n"
           "@=\"Biblioth\xc3\xa8que de types Quillomar 1.0\"\n"
           "\"Name\"=\"QuillomarLib\"\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\409]\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\409\\linux]\n"
           "@=\"" + programPath + "\"\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\FLAGS]\n"
           "@=\"0\"\n"
           "\n[HKEY_CLASSES_ROOT\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\HELPDIR]\n"
           "@=\"" + folder + "\"\n";
}

}  // namespace quillomar::test
