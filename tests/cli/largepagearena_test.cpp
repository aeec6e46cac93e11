// The tool's own new and delete with a large-page arena in front (linked into this test as into
// the tool): blocks that do not overlap, arena blocks that may be deleted anywhere and at any time
// without reaching the C library's free, one arena at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/largepagearena.h"

using quillomar::cli::LargePageArena;

namespace {

struct Block {
    std::byte* at;
    std::size_t size;
};

// Blocks of the given sizes, each filled with a byte of its own.
std::vector<Block> allocateFilled(const std::vector<std::size_t>& sizes) {
    std::vector<Block> blocks;
    blocks.reserve(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto* at = static_cast<std::byte*>(::operator new(sizes[i]));
        std::memset(at, static_cast<int>(i + 1), sizes[i]);
        blocks.push_back({at, sizes[i]});
    }
    return blocks;
}

void expectSoundBlocks(std::vector<Block> blocks) {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i].at) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0U) << i;
        for (std::size_t b = 0; b < blocks[i].size; ++b) {
            if (blocks[i].at[b] != static_cast<std::byte>(i + 1)) {
                ADD_FAILURE() << "block " << i << " overwritten at byte " << b;
                break;
            }
        }
    }
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.at < b.at; });
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        // Every block, an empty one too, has an address of its own.
        EXPECT_GE(blocks[i].at, blocks[i - 1].at + std::max<std::size_t>(blocks[i - 1].size, 1)) << i;
    }
}

void release(const std::vector<Block>& blocks) {
    for (const Block& block : blocks) ::operator delete(block.at);
}

const std::vector<std::size_t> kMixedSizes = {0, 1, 15, 16, 17, 22, 4096, 100'000, 3 << 20, 0, 7, 48 << 20, 33};

}  // namespace

TEST(LargePageArena, GivesSeparateAlignedBlocksOfAnySize) {
    std::vector<Block> blocks;
    {
        LargePageArena arena;
        ASSERT_TRUE(arena.active());
        // 48 MiB is more than the first region holds: a larger one follows.
        blocks = allocateFilled(kMixedSizes);
        std::vector<Block> more = allocateFilled({24, 24, 24});
        for (std::size_t i = 0; i < more.size(); ++i) std::memset(more[i].at, static_cast<int>(kMixedSizes.size() + i + 1), 24);
        blocks.insert(blocks.end(), more.begin(), more.end());
    }
    expectSoundBlocks(blocks);
    release(blocks);
}

TEST(LargePageArena, ArenaBlocksOutliveItAndMayBeDeletedAnywhere) {
    auto heapBlock = std::make_unique<std::string>(100, 'h');
    std::vector<std::string> names;
    std::unique_ptr<int[]> fromArena;
    {
        LargePageArena arena;
        ASSERT_TRUE(arena.active());
        // A directory's shape: a vector grown past its first blocks, names too long to be kept inline.
        for (int i = 0; i < 5000; ++i) names.push_back("DIR" + std::to_string(i % 7) + "\\ENTRY" + std::to_string(i) + ".DAT");
        fromArena.reset(new int[1000]());
        heapBlock.reset();  // allocated before the arena: goes back to the heap
    }
    EXPECT_EQ(names[4321], "DIR2\\ENTRY4321.DAT");
    std::thread([&] {
        names.clear();
        names.shrink_to_fit();
        fromArena.reset();
    }).join();
    EXPECT_TRUE(names.empty());
    // The heap is still sound for blocks of every size.
    const std::vector<Block> after = allocateFilled(kMixedSizes);
    expectSoundBlocks(after);
    release(after);
}

TEST(LargePageArena, OneArenaAtATime) {
    {
        LargePageArena first;
        EXPECT_TRUE(first.active());
        LargePageArena nested;
        EXPECT_FALSE(nested.active());
        bool otherActive = true;
        std::vector<Block> other;
        std::thread([&] {
            LargePageArena onAnotherThread;
            otherActive = onAnotherThread.active();
            other = allocateFilled(kMixedSizes);
        }).join();
        EXPECT_FALSE(otherActive);
        std::vector<Block> own = allocateFilled(kMixedSizes);
        for (const Block& block : own) std::memset(block.at, 0xEE, block.size);
        expectSoundBlocks(other);
        release(other);
        release(own);
    }
    // The nested one ending changed nothing; with both gone, the next one is active.
    LargePageArena next;
    EXPECT_TRUE(next.active());
}

TEST(LargePageArena, StartsOverOnlyOnceEveryBlockIsGone) {
    // One directory after another, each let go before the next: the same memory every time.
    std::vector<std::byte*> firstBlocks;
    for (int round = 0; round < 20; ++round) {
        std::vector<Block> blocks;
        {
            LargePageArena arena;
            ASSERT_TRUE(arena.active());
            blocks = allocateFilled({1 << 20, 22, 5 << 20, 0});
        }
        firstBlocks.push_back(blocks.front().at);
        release(blocks);
    }
    EXPECT_EQ(std::count(firstBlocks.begin(), firstBlocks.end(), firstBlocks.front()), 20);

    // One block kept: later arenas must not hand out its bytes again.
    std::vector<Block> kept;
    {
        LargePageArena arena;
        kept = allocateFilled({4096});
    }
    for (int round = 0; round < 3; ++round) {
        std::vector<Block> blocks;
        {
            LargePageArena arena;
            blocks = allocateFilled({1 << 20, 4096, 22});
        }
        blocks.push_back(kept.front());
        // allocateFilled gave the kept block byte 1, as it gives the first of these blocks.
        std::memset(blocks.back().at, 4, blocks.back().size);
        expectSoundBlocks(blocks);
        std::memset(kept.front().at, 1, kept.front().size);
        blocks.pop_back();
        release(blocks);
    }
    release(kept);
}
