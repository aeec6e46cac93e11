#include "platform/termination.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/outputfile.h"
#include "platform/temporarycreation.h"

namespace quillomar {

namespace {

const char* programName = "quillomar";
int pipeWriteEnd = -1;

const char* signalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

// Async-signal-safe: only write().
void writeLine(const char* program, int signal) {
    const char* parts[] = {"\n", program, ": stopped by ", signalName(signal), "\n"};
    // The leading line break ends a progress bar a terminal may be showing.
    for (std::size_t i = ::isatty(STDERR_FILENO) ? 0 : 1; i < sizeof parts / sizeof parts[0]; ++i) {
        if (::write(STDERR_FILENO, parts[i], std::strlen(parts[i])) < 0) break;
    }
}

extern "C" void exitOnSignal(int signal) {
    // The other threads start no temporary any more, and finish the ones they are making first.
    TemporaryCreation::stopAndWait();
    removeRegisteredTemporaries();
    writeLine(programName, signal);
    ::_exit(128 + signal);
}

extern "C" void notifyOnSignal(int signal) {
    const int saved = errno;
    removeRegisteredTemporaries();
    const char number = static_cast<char>(signal);
    if (::write(pipeWriteEnd, &number, 1) < 0) {
        // A full pipe already holds a request to end.
    }
    errno = saved;
}

void install(void (*handler)(int), std::initializer_list<int> signals) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: the others wait until the first has ended the program.
    for (int signal : signals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int signal : signals) {
        // A signal ignored from the start (nohup, a background job of a script) stays ignored.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

void ignoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

void exitCleanlyOnTermination(const char* program) {
    programName = program;
    install(exitOnSignal, {SIGINT, SIGTERM, SIGHUP});
}

int notifyTerminationThroughPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    pipeWriteEnd = ends[1];
    install(notifyOnSignal, {SIGTERM, SIGHUP});
    return ends[0];
}

void finishTermination(const char* program, int signal) {
    TemporaryCreation::stopAndWait();
    removeRegisteredTemporaries();
    writeLine(program, signal);
    ::_exit(128 + signal);
}

}  // namespace quillomar
