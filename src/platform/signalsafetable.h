#pragma once
// A fixed table that a signal or console handler reads without locks while threads add and remove
// entries. A slot is claimed with an atomic exchange, its payload written, then published; the
// handler reads only published slots. Removing unpublishes the slot first, then frees it. Nothing
// here allocates, and the handler's side (forEachPublished) touches lock-free atomics only.

#include <array>
#include <atomic>
#include <cstddef>

namespace quillomar {

template <typename Payload, std::size_t Count>
class SignalSafeTable {
public:
    static_assert(std::atomic<bool>::is_always_lock_free);

    // Claims a free slot, lets write(Payload&) fill it and publishes it: the slot's index, or -1
    // when every slot is taken.
    template <typename Write>
    int add(Write&& write) {
        for (std::size_t i = 0; i < Count; ++i) {
            Slot& slot = slots_[i];
            if (slot.claimed.exchange(true, std::memory_order_acquire)) continue;
            write(slot.payload);
            slot.published.store(true, std::memory_order_release);
            return static_cast<int>(i);
        }
        return -1;
    }

    // Frees the slot add() returned and sets index to -1; nothing for -1.
    void remove(int& index) noexcept {
        if (index < 0) return;
        Slot& slot = slots_[static_cast<std::size_t>(index)];
        slot.published.store(false, std::memory_order_release);
        slot.claimed.store(false, std::memory_order_release);
        index = -1;
    }

    // Calls visit(const Payload&) for every published slot. Async-signal-safe when visit is.
    template <typename Visit>
    void forEachPublished(Visit&& visit) const noexcept {
        for (const Slot& slot : slots_) {
            if (slot.published.load(std::memory_order_acquire)) visit(slot.payload);
        }
    }

private:
    struct Slot {
        std::atomic<bool> claimed{false};
        std::atomic<bool> published{false};
        Payload payload{};
    };
    std::array<Slot, Count> slots_{};
};

}  // namespace quillomar
