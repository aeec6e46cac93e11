#include "app/switchphase.h"

#include "app/registration.h"

namespace quillomar {

namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool endsCandidate(char c) { return c == '\0' || c == ' ' || c == '\t'; }

// Compares the candidate with the switch name one character at a time, both upper-cased; the
// candidate must end exactly where the name does. Characters beyond ASCII are left as they are,
// so they never equal a letter of the name.
bool matchesSwitch(std::string_view candidate, std::string_view name) {
    for (std::size_t i = 0;; ++i) {
        char c = i < candidate.size() ? candidate[i] : '\0';
        if (i == name.size()) return endsCandidate(c);
        if (endsCandidate(c) || asciiUpper(c) != asciiUpper(name[i])) return false;
    }
}

}  // namespace

ServerSwitch findServerSwitch(std::string_view commandLine) {
    // The line is UTF-8: every byte of a multi-byte character is 0x80 or above, so stepping by
    // bytes visits '-' and '/' exactly where stepping by characters would. After a candidate
    // that does not match, the search goes on from the candidate's first character.
    for (std::size_t i = 0; i < commandLine.size() && commandLine[i] != '\0'; ++i) {
        if (commandLine[i] != '-' && commandLine[i] != '/') continue;
        std::string_view candidate = commandLine.substr(i + 1);
        if (matchesSwitch(candidate, "UnregServer")) return ServerSwitch::UnregServer;
        if (matchesSwitch(candidate, "RegServer")) return ServerSwitch::RegServer;
    }
    return ServerSwitch::None;
}

int runSwitchPhase(const std::string& fullCommandLine, ServerModule& module) {
    if (module.initFailed()) return status::kComponentModelFailed;
    switch (findServerSwitch(fullCommandLine)) {
    case ServerSwitch::UnregServer: return module.unregisterServer();
    case ServerSwitch::RegServer: return module.registerServer();
    case ServerSwitch::None: break;
    }
    // No switch: nothing is registered and no class is published.
    return status::kOk;
}

int runSwitchPhase(const std::string& fullCommandLine) {
    return runSwitchPhase(fullCommandLine, ServerModule::process());
}

}  // namespace quillomar
