#include "app/startup.h"

#include <memory>
#include <new>

#include "app/contentwindowhook.h"
#include "app/switchphase.h"

namespace quillomar {

std::string commandLineTail(const std::vector<std::string>& argv) {
    if (argv.size() < 2) return {};
    std::string tail = "\"";
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (i > 1) tail += ' ';
        tail += argv[i];
    }
    tail += '"';
    return tail;
}

std::string fullCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (i > 0) line += ' ';
        const std::string& argument = argv[i];
        if (argument.find_first_of(" \t") != std::string::npos) {
            line += '"';
            line += argument;
            line += '"';
        } else {
            line += argument;
        }
    }
    return line;
}

ModuleState& moduleState() {
    static ModuleState state;
    return state;
}

int runWindowProgram(const std::vector<std::string>& argv, const PackerDialogRunner& runDialog) {
    ModuleState& state = moduleState();
    state.programPath = argv.empty() ? std::string() : argv.front();
    const std::string full = fullCommandLine(argv);

    std::unique_ptr<PackerWindow> window;
    try {
        window = std::make_unique<PackerWindow>(commandLineTail(argv), contentWindowHook());
    } catch (const std::bad_alloc&) {
        window.reset();
    }
    if (window) {
        state.packerWindow = window.get();
        runDialog(*window);
        window.reset();
        state.packerWindow = nullptr;
    }
    return runSwitchPhase(full);
}

}  // namespace quillomar
