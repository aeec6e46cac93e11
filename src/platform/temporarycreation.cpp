#include "platform/temporarycreation.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

namespace quillomar {

namespace {

std::atomic<bool> stopping{false};
std::atomic<int> creating{0};
// The sections this thread is in: a handler that interrupts one of them must not wait for it.
thread_local int ownSections = 0;

constexpr int kMostWaits = 300;  // of 10 ms each

void pauseBriefly() noexcept {
#ifdef _WIN32
    Sleep(10);
#else
    const struct timespec tenMilliseconds { 0, 10 * 1000 * 1000 };
    ::nanosleep(&tenMilliseconds, nullptr);
#endif
}

[[noreturn]] void waitForTheEnd() noexcept {
    for (;;) {
#ifdef _WIN32
        Sleep(INFINITE);
#else
        ::pause();
#endif
    }
}

}  // namespace

TemporaryCreation::TemporaryCreation() {
    ++ownSections;
    creating.fetch_add(1, std::memory_order_seq_cst);
    if (stopping.load(std::memory_order_seq_cst)) {
        creating.fetch_sub(1, std::memory_order_seq_cst);
        --ownSections;
        waitForTheEnd();
    }
}

TemporaryCreation::~TemporaryCreation() {
    creating.fetch_sub(1, std::memory_order_seq_cst);
    --ownSections;
}

void TemporaryCreation::stopAndWait() noexcept {
    stopping.store(true, std::memory_order_seq_cst);
    for (int waited = 0; waited < kMostWaits && creating.load(std::memory_order_seq_cst) > ownSections; ++waited) {
        pauseBriefly();
    }
}

}  // namespace quillomar
