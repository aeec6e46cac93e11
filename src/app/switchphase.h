#pragma once
// The switch phase that runs after the packer window has closed: "RegServer" / "UnregServer"
// after '-' or '/' in the full command line register or unregister the program.
#include <string>
#include <string_view>

namespace quillomar {

// Looks for the switches in the full command line and carries out the first one found.
// Returns the process exit code: 0 without a switch or when the steps succeeded, the failing
// step's status otherwise, -1 when the component-model stand-in could not be initialised.
int runSwitchPhase(const std::string& fullCommandLine);

enum class ServerSwitch { None, UnregServer, RegServer };

// The first switch in the line. A candidate starts after every '-' or '/' (the program's own
// path and the other arguments included) and is compared, without regard to ASCII case, first
// with "UnregServer", then with "RegServer"; it matches only when it ends right after the name,
// at the end of the line, a NUL, a blank or a tab.
ServerSwitch findServerSwitch(std::string_view commandLine);

}  // namespace quillomar
