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

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillomar-reg-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Restore write permission that a test may have taken away, then remove everything.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

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
