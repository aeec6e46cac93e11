#include "app/switchphase.h"

#include "app/registration.h"
#include "platform/asciicase.h"

namespace quillomar {

ServerSwitch findServerSwitch(std::string_view commandLine) {
    // The line is UTF-8: every byte of a multi-byte character is 0x80 or above, so stepping by
    // bytes visits '-' and '/' exactly where stepping by characters would. After a candidate
    // that does not match, the search goes on from the candidate's first character.
    const auto matches = [](std::string_view candidate, std::string_view name) {
        constexpr std::string_view kEnds(" \t\0", 3);  // a candidate ends at a blank, a tab or a NUL
        return equalsIgnoringAsciiCase(candidate.substr(0, candidate.find_first_of(kEnds)), name);
    };
    for (std::size_t i = 0; i < commandLine.size() && commandLine[i] != '\0'; ++i) {
        if (commandLine[i] != '-' && commandLine[i] != '/') continue;
        const std::string_view candidate = commandLine.substr(i + 1);
        if (matches(candidate, "UnregServer")) return ServerSwitch::UnregServer;
        if (matches(candidate, "RegServer")) return ServerSwitch::RegServer;
    }
    return ServerSwitch::None;
}

int runSwitchPhase(const std::string& fullCommandLine, ServerModule& module) {
    if (module.initFailed()) return status::kComponentModelFailed;
    switch (findServerSwitch(fullCommandLine)) {
        case ServerSwitch::UnregServer:
            return module.unregisterServer();
        case ServerSwitch::RegServer:
            return module.registerServer();
        case ServerSwitch::None:
            break;
    }
    // No switch: nothing is registered and no class is published.
    return status::kOk;
}

int runSwitchPhase(const std::string& fullCommandLine) {
    return runSwitchPhase(fullCommandLine, ServerModule::process());
}

}  // namespace quillomar
