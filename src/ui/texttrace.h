#pragma once
// A trace of what the user sees, for timing the window program from the outside: with
// QUILLOMAR_TRACE_TEXTS set in the environment, each key the program receives and each text a
// label paints for the first time go to standard error, stamped with the real-time clock.

class QApplication;

namespace quillomar {

// Installs the trace on application when QUILLOMAR_TRACE_TEXTS is set (to anything but empty);
// otherwise does nothing, and nothing watches the program's events. Lines read
//   quillomar-trace SECONDS.MICROSECONDS key NAME
//   quillomar-trace SECONDS.MICROSECONDS painted TEXT
// in the clock `date +%s.%N` reads.
void installTextTraceFromEnvironment(QApplication& application);

}  // namespace quillomar
