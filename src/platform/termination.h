#pragma once
// What the programs do when asked to end by a signal: no temporary file may outlive them.

namespace quillomar {

// SIGXFSZ is ignored: a write past the file-size limit then fails with EFBIG ("File too large")
// and is reported like a full disk, instead of killing the program with its temporaries.
void ignoreFileSizeSignal();

// On SIGINT, SIGTERM and SIGHUP: removes the registered temporaries, writes one line
// "PROGRAM: stopped by SIGNAME" on standard error and exits with 128 + the signal number.
void exitCleanlyOnTermination(const char* program);

// For an event loop: on SIGTERM and SIGHUP the registered temporaries are removed at once and the
// signal number is written to the returned descriptor (-1 when no pipe could be made); the program
// reads it there, removes what else is its own and calls finishTermination.
int notifyTerminationThroughPipe();
// The line on standard error, then _exit(128 + signal).
[[noreturn]] void finishTermination(const char* program, int signal);

}  // namespace quillomar
