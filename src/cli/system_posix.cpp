#include <malloc.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>

#include "cli/console.h"
#include "cli/system.h"

namespace quillomar::cli {

namespace {

// Loading the directory of a large archive makes a few allocations per entry: some tens of
// megabytes for a hundred thousand entries, and most of the time a listing takes goes to the
// page faults that first touch them. Growing the heap in large steps backed by transparent huge
// pages (where the kernel grants them on request) turns thousands of faults into a few.
void preferLargeHeapPages() {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    constexpr int kHeapStep = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, kHeapStep);  // large buffers from the heap too, reused once freed
    mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep);
    mallopt(M_TOP_PAD, kHeapStep);
    void* probe = std::malloc(kHugePage);  // more than the heap has left: it grows by the step
    const auto begin = (reinterpret_cast<std::uintptr_t>(probe) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kHugePage - 1);
    if (probe != nullptr && end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(probe);
}

}  // namespace

void prepareProcess() {
    std::setlocale(LC_ALL, "");
    preferLargeHeapPages();
}

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace quillomar::cli
