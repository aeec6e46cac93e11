#pragma once
// Start-up and shut-down of the window program, without the toolkit: the command line built from
// argv, the process-wide state, and the order packer window -> teardown -> switch phase.

#include <functional>
#include <string>
#include <vector>

#include "packer/packerwindow.h"

namespace quillomar {

// The command-line tail handed to the packer window: the arguments after the program, joined by
// one blank, in double quotes (as the desktop shell quotes a path); empty without arguments.
std::string commandLineTail(const std::vector<std::string>& argv);

// The complete command line the switch phase searches: the program path and the arguments joined
// by blanks, an argument holding a blank or a tab put in double quotes.
std::string fullCommandLine(const std::vector<std::string>& argv);

// Process-wide state, set by start-up.
struct ModuleState {
    // The program as it was started (argv[0]); stands for the module the resources come from.
    std::string programPath;
    // The one packer window: set before its dialog runs, cleared once the object is destroyed.
    PackerWindow* packerWindow = nullptr;
};
ModuleState& moduleState();

// Runs the packer window's dialog modally and returns when it has ended.
using PackerDialogRunner = std::function<void(PackerWindow& window)>;

// The whole life of the window program: creates the packer window from argv's tail, publishes
// it, runs its dialog, destroys it, then runs the switch phase over the full command line and
// returns its status, the process exit code. Without memory for the window, no window is shown
// and the switch phase runs all the same.
int runWindowProgram(const std::vector<std::string>& argv, const PackerDialogRunner& runDialog);

}  // namespace quillomar
