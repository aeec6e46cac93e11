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

// The block below the first huge page, kept for the process's life. Stored where the compiler
// must assume it is used: an allocation whose result is dropped may be left out altogether.
void* volatile heapBelowHugePages = nullptr;

// Loading the directory of a large archive makes a few allocations per entry: some tens of
// megabytes for a hundred thousand entries, and most of the time a listing takes goes to the
// page faults that first touch them. Growing the heap in one large step backed by transparent
// huge pages (where the kernel grants them on request) turns thousands of faults into a few.
//
// A huge page is only given to a 2 MiB range that nothing has touched yet, so the advice must
// come before the allocator writes into the new memory. The allocator only writes the two ends
// of a block it hands out: the probe below spans the whole step, and only the whole huge pages
// between its two ends are advised. Once it is freed, a block that is never
// freed takes the bytes up to the first huge page, and every later allocation lands in advised
// memory. If the allocator lays the heap out otherwise, only fewer huge pages are granted.
void preferLargeHeapPages() {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    constexpr int kHeapStep = 32 << 20;  // the most the allocator lets come from the heap at once
    constexpr std::size_t kBlockHeader = 4 * sizeof(std::size_t);  // generous: one header and the next
    // Large buffers come from the heap too, and are reused once freed.
    mallopt(M_MMAP_THRESHOLD, kHeapStep);
    mallopt(M_TRIM_THRESHOLD, 4 * kHeapStep);
    mallopt(M_TOP_PAD, 0);  // the heap ends right after the probe
    constexpr std::size_t kProbe = kHeapStep - kHugePage;
    void* probe = std::malloc(kProbe);
    if (probe == nullptr) return;
    const auto near = reinterpret_cast<std::uintptr_t>(probe);
    const auto begin = (near + kBlockHeader + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (near + kProbe) & ~(kHugePage - 1);  // the far end's header lies past it
    const bool advised = end > begin && ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) == 0;
    std::free(probe);
    mallopt(M_TOP_PAD, kHeapStep);  // later growth in large steps too
    if (advised) heapBelowHugePages = std::malloc(begin - near - kBlockHeader);
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
