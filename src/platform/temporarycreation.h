#pragma once
// A hidden temporary comes to be in two steps: its name is registered, then the file is created
// under it. A termination handler that removed the registered names while another thread was
// between the two steps, or about to take them, would leave that thread's file behind when the
// process ends. So each creation is a section: the handler first closes the door (no thread
// enters a section any more; one that tries waits for the end of the process), then waits until
// the sections other threads are in have ended, and only then removes what is registered.

#include <atomic>

namespace quillomar {

class TemporaryCreation {
public:
    // Enters the section; never returns once the process is being ended.
    TemporaryCreation();
    // Leaves it: the file exists under its registered name, or its creation failed.
    ~TemporaryCreation();
    TemporaryCreation(const TemporaryCreation&) = delete;
    TemporaryCreation& operator=(const TemporaryCreation&) = delete;

    // For the termination handler (async-signal-safe): closes the door and waits, at most a few
    // seconds, until no other thread is in a section.
    static void stopAndWait() noexcept;
};

}  // namespace quillomar
