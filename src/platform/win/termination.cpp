// Windows has no signals to speak of: a console's Ctrl+C, Ctrl+Break and close arrive at a
// handler on a thread of their own, which removes the temporaries and ends the process with the
// status a POSIX shell gives the matching signal.

#include "platform/termination.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fileio.h"
#include "platform/outputfile.h"
#include "platform/temporarycreation.h"
#include "platform/win/widepath.h"

namespace quillomar {

namespace {

const char* programName = "quillomar";

BOOL WINAPI onConsoleEvent(DWORD event) {
    int signal = 0;
    switch (event) {
        case CTRL_C_EVENT:
            signal = 2;
            break;  // SIGINT
        case CTRL_BREAK_EVENT:
            signal = 15;
            break;  // SIGTERM
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            signal = 1;
            break;  // SIGHUP
        default:
            return FALSE;
    }
    finishTermination(programName, signal);
}

}  // namespace

void ignoreFileSizeSignal() {}

void exitCleanlyOnTermination(const char* program) {
    programName = program;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int notifyTerminationThroughPipe() { return -1; }

void finishTermination(const char* program, int signal) {
    // The other threads start no temporary any more, and finish the ones they are making first.
    TemporaryCreation::stopAndWait();
    removeRegisteredTemporaries();
    const char* name = signal == 2 ? "SIGINT" : (signal == 15 ? "SIGTERM" : "SIGHUP");
    const std::string line = std::string(program) + ": stopped by " + name + "\n";
    static_cast<void>(writeAllTo(kStandardErrorFd, std::as_bytes(std::span(line.data(), line.size())), {}));
    std::_Exit(128 + signal);
}

}  // namespace quillomar
