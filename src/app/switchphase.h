#pragma once
// The switch phase that runs after the packer window has closed: "RegServer" / "UnregServer"
// after '-' or '/' in the full command line register or unregister the program.
#include <string>
#include <string_view>

namespace quillomar {

class ServerModule;

// Carries out the first switch in the line and returns the exit code: 0 without a switch or
// when its steps succeeded, else the failing step's status; -1 when the module's
// initialisation failed. Without a module, the process-wide one.
int runSwitchPhase(const std::string& fullCommandLine);
int runSwitchPhase(const std::string& fullCommandLine, ServerModule& module);

enum class ServerSwitch { None, UnregServer, RegServer };

// A candidate starts after every '-' or '/' anywhere in the line and is compared, without regard
// to ASCII case, with "UnregServer", then "RegServer"; it matches only when it ends right after
// the name, at the end of the line, a NUL, a blank or a tab.
ServerSwitch findServerSwitch(std::string_view commandLine);

}  // namespace quillomar
