#pragma once
// The switch phase that runs after the packer window has closed: "RegServer" / "UnregServer"
// after '-' or '/' in the full command line register or unregister the program.
#include <string>

namespace quillomar {

// Looks for the switches in the full command line and carries out the first one found.
// Returns the process exit code: 0 without a switch or when the steps succeeded, the failing
// step's status otherwise.
int runSwitchPhase(const std::string& fullCommandLine);

}  // namespace quillomar
