#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "cli/largepagearena.h"

// The program's own new and delete: those of the C++ library with the arena in front.

namespace quillomar::cli {

namespace {

constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
constexpr std::uintptr_t kFirstRegion = std::uintptr_t{32} << 20;
constexpr std::uintptr_t kAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
// Each region twice the one before: 32 MiB times 2^23 is more than any address space holds.
constexpr int kMaxRegions = 24;

struct Region {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
};

// Regions are only ever added, by the thread holding the arena; a delete on any thread looks at
// those the count publishes (each region's bounds are written before the count that covers them).
Region regions[kMaxRegions];
std::atomic<int> regionCount{0};
// Where the next block goes; used only by the thread holding the arena.
int current = -1;
std::uintptr_t nextFree = 0;
// Blocks handed out and not yet deleted. Once all are gone, the next arena starts from the first
// region again: a tool that loads one directory after another keeps to the memory of the largest.
std::atomic<std::size_t> liveBlocks{0};
std::atomic<bool> held{false};
thread_local bool allocatingHere = false;

// Maps a region of at least `bytes`, starting on a large page and advised for large pages (where
// the kernel refuses, it is made of ordinary pages). The address space is only reserved: memory
// is taken as allocations first touch it. False when no region can be had.
bool addRegion(std::uintptr_t bytes) {
    const int count = regionCount.load(std::memory_order_relaxed);
    if (count == kMaxRegions) return false;
    std::uintptr_t size = count == 0 ? kFirstRegion : 2 * (regions[count - 1].end - regions[count - 1].begin);
    while (size < bytes) size *= 2;  // bytes is below 2^40 (see allocate)
    const std::uintptr_t mappedSize = size + kLargePage;
    void* mapped =
        ::mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return false;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    // The slack on either side of the aligned part goes back.
    if (begin > start) ::munmap(mapped, begin - start);
    if (start + mappedSize > begin + size)
        ::munmap(reinterpret_cast<void*>(begin + size), start + mappedSize - (begin + size));
    static_cast<void>(::madvise(reinterpret_cast<void*>(begin), size, MADV_HUGEPAGE));
    regions[count] = {begin, begin + size};
    regionCount.store(count + 1, std::memory_order_release);
    current = count;
    nextFree = begin;
    return true;
}

// A block of the arena: null when none can be had, and the caller takes it from the heap.
void* allocate(std::size_t bytes) {
    if (bytes >= (std::uintptr_t{1} << 40)) return nullptr;
    // Never empty, so that every block has an address of its own.
    const std::uintptr_t rounded = (std::max<std::uintptr_t>(bytes, 1) + kAlignment - 1) & ~(kAlignment - 1);
    // The rest of a region too small for the block stays unused until the arena starts over.
    while (current < 0 || regions[current].end - nextFree < rounded) {
        if (current + 1 < regionCount.load(std::memory_order_relaxed)) {
            nextFree = regions[++current].begin;
        } else if (!addRegion(rounded)) {
            return nullptr;
        }
    }
    void* block = reinterpret_cast<void*>(nextFree);
    nextFree += rounded;
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

bool inArena(const void* block) {
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const int count = regionCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        if (at >= regions[i].begin && at < regions[i].end) return true;
    }
    return false;
}

}  // namespace

LargePageArena::LargePageArena() {
    bool unheld = false;
    active_ = held.compare_exchange_strong(unheld, true, std::memory_order_acquire);
    if (!active_) return;
    allocatingHere = true;
    // Nothing of what earlier arenas handed out is still in use (those deletes happened before).
    if (liveBlocks.load(std::memory_order_acquire) == 0) current = -1;
}

LargePageArena::~LargePageArena() {
    if (!active_) return;
    allocatingHere = false;
    held.store(false, std::memory_order_release);
}

}  // namespace quillomar::cli

// The C++ library's other forms (arrays, sized and nothrow ones) come down to these two. Aligned
// allocations never come from the arena.
void* operator new(std::size_t bytes) {
    if (quillomar::cli::allocatingHere) {
        if (void* block = quillomar::cli::allocate(bytes)) return block;
    }
    for (;;) {
        if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* block) noexcept {
    if (quillomar::cli::inArena(block)) {
        quillomar::cli::liveBlocks.fetch_sub(1, std::memory_order_release);
    } else {
        std::free(block);
    }
}

void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
