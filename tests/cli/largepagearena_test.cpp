// The tool's own new and delete with the large-page arena in front (linked into this test as into
// the tool): blocks that never overlap, arena blocks deleted anywhere and at any time without
// reaching the C library's free, one arena at a time, memory reused only once all is let go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/largepagearena.h"

using quillomar::cli::LargePageArena;

namespace {

struct Block {
    std::byte* at;
    std::size_t size;
    int fill;
};

// 48 MiB is more than the first region holds; empty blocks still need addresses of their own.
const std::vector<std::size_t> kMixedSizes = {0, 1, 15, 16, 17, 22, 4096, 100'000, 3 << 20, 0, 48 << 20, 33};

// Blocks of the given sizes, each filled with a byte of its own.
std::vector<Block> allocateFilled(const std::vector<std::size_t>& sizes, int firstFill = 1) {
    std::vector<Block> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto* at = static_cast<std::byte*>(::operator new(sizes[i]));
        const int fill = firstFill + static_cast<int>(i);
        std::memset(at, fill, sizes[i]);
        blocks.push_back({at, sizes[i], fill});
    }
    return blocks;
}

// Each block aligned, still holding its own bytes, and clear of every other.
void expectSoundBlocks(std::vector<Block> blocks) {
    for (const Block& block : blocks) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.at) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0U);
        const auto wrong = std::find_if(block.at, block.at + block.size,
                                        [&](std::byte b) { return b != static_cast<std::byte>(block.fill); });
        EXPECT_EQ(wrong, block.at + block.size) << "block filled with " << block.fill << " overwritten";
    }
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.at < b.at; });
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        EXPECT_GE(blocks[i].at, blocks[i - 1].at + std::max<std::size_t>(blocks[i - 1].size, 1));
    }
}

void release(const std::vector<Block>& blocks) {
    for (const Block& block : blocks) ::operator delete(block.at);
}

}  // namespace

TEST(LargePageArena, GivesSeparateAlignedBlocksOfAnySize) {
    std::vector<Block> blocks;
    {
        LargePageArena arena;
        ASSERT_TRUE(arena.active());
        blocks = allocateFilled(kMixedSizes);
    }
    expectSoundBlocks(blocks);
    release(blocks);
}

TEST(LargePageArena, BlocksOutliveTheArenaAndMayBeDeletedOnAnyThread) {
    auto fromHeap = std::make_unique<std::string>(100, 'h');
    std::vector<std::string> names;
    {
        LargePageArena arena;
        // A directory's shape: a vector grown past its first blocks, names too long to be inline.
        for (int i = 0; i < 5000; ++i) names.push_back("DIR" + std::to_string(i % 7) + "\\ENTRY" + std::to_string(i) + ".DAT");
        fromHeap.reset();  // made before the arena: back to the heap
    }
    EXPECT_EQ(names[4321], "DIR2\\ENTRY4321.DAT");
    std::thread([&] { std::vector<std::string>().swap(names); }).join();
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
        std::vector<Block> own = allocateFilled(kMixedSizes, 100);
        other.insert(other.end(), own.begin(), own.end());
        expectSoundBlocks(other);
        release(other);
    }
    LargePageArena next;  // the nested one ending left the arena to the first, now gone too
    EXPECT_TRUE(next.active());
}

TEST(LargePageArena, StartsOverOnlyOnceEveryBlockIsGone) {
    // One directory after another, each let go before the next: the same memory every time.
    std::vector<std::byte*> firstBlocks;
    for (int round = 0; round < 20; ++round) {
        std::vector<Block> blocks;
        {
            LargePageArena arena;
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
        kept = allocateFilled({4096}, 200);
    }
    for (int round = 0; round < 3; ++round) {
        std::vector<Block> blocks;
        {
            LargePageArena arena;
            blocks = allocateFilled({1 << 20, 4096, 22});
        }
        blocks.push_back(kept.front());
        expectSoundBlocks(blocks);
        blocks.pop_back();
        release(blocks);
    }
    release(kept);
}
