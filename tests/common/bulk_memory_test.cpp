#include "common/bulk_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

namespace tonequill {
namespace {

constexpr std::size_t kLarge = kBulkThreshold / sizeof(int32_t);  // elements of a list the arena holds
constexpr std::size_t kRegion = std::size_t{2} << 20;
constexpr std::size_t kLargeBytes = kLarge * sizeof(int32_t);

// Without an arena every list comes from the heap; with one, a large list
// takes memory mapped in whole 2 MiB pages, and small lists share such a page
// with it: a small song's lists fault in one huge page, not one for each kind.
TEST(BulkArena, TakesListsWhileInPlace) {
    {
        BulkList<int32_t> alone(kLarge);
        EXPECT_EQ(BulkArena::current(), nullptr);
    }
    BulkArena arena;
    EXPECT_EQ(BulkArena::current(), &arena);
    BulkList<int32_t> large(kLarge);
    EXPECT_EQ(arena.heldBytes(), kRegion);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(large.data()) % kRegion, 0u);
    std::iota(large.begin(), large.end(), 0);  // the memory is there to write
    EXPECT_EQ(large.back(), static_cast<int32_t>(kLarge - 1));
    BulkList<int32_t> small(kLarge - 1);
    BulkList<int32_t> tiny(3);
    EXPECT_EQ(arena.heldBytes(), kRegion);  // one page for all three
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(tiny.data()) / kRegion,
              reinterpret_cast<std::uintptr_t>(large.data()) / kRegion);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(tiny.data()) % 16, 0u);
}

// A small list takes a block of its size class; a block given back serves
// the next list of that class, and lists never share memory, whatever
// order they come and go in.
TEST(BulkArena, SmallListsTakeBlocksBySize) {
    BulkArena arena;
    const int32_t* first = nullptr;
    {
        BulkList<int32_t> list(25);  // 100 bytes: a block of 112
        first = list.data();
    }
    BulkList<int32_t> same(28);  // 112 bytes: that block again
    EXPECT_EQ(same.data(), first);
    BulkList<int32_t> larger(29);  // 116 bytes: a block of 128
    EXPECT_NE(larger.data(), first);

    // Lists of random sizes made and dropped at random, each filled with its
    // own number, must all still hold it.
    std::mt19937 random(7);
    std::vector<BulkList<uint16_t>> lists(400);
    for (int step = 0; step < 20000; ++step) {
        const std::size_t k = random() % lists.size();
        const std::size_t size = random() % 4 == 0 ? random() % 30000 : random() % 300;
        lists[k] = BulkList<uint16_t>(size, static_cast<uint16_t>(k));
        if (step % 1000 == 0) {
            for (std::size_t i = 0; i < lists.size(); ++i) {
                for (const uint16_t value : lists[i]) ASSERT_EQ(value, i) << "step " << step;
            }
        }
    }
    for (std::size_t i = 0; i < lists.size(); ++i) {
        for (const uint16_t value : lists[i]) ASSERT_EQ(value, i);
    }
}

// A list takes the small pages it needs of the arena's memory and leaves the
// rest to the lists after it; what it gives back serves later lists, and
// free neighbours join again. When no free region holds a list and the free
// regions hold more than it, their whole huge pages go back to the system
// before new memory is mapped; when they hold less, they stay.
TEST(BulkArena, SplitsJoinsAndGivesBackRegions) {
    constexpr std::size_t kMiB2 = kRegion / sizeof(int32_t);  // elements in 2 MiB
    BulkArena arena;
    const int32_t* first = nullptr;
    {
        BulkList<int32_t> list(3 * kMiB2);  // 6 MiB
        first = list.data();
    }
    EXPECT_EQ(arena.heldBytes(), 3 * kRegion);
    auto x = std::make_unique<BulkList<int32_t>>(kMiB2);
    auto y = std::make_unique<BulkList<int32_t>>(kMiB2);
    auto z = std::make_unique<BulkList<int32_t>>(kLarge);
    EXPECT_EQ(x->data(), first);
    EXPECT_EQ(y->data(), first + kMiB2);
    EXPECT_EQ(z->data(), first + 2 * kMiB2);
    EXPECT_EQ(arena.heldBytes(), 3 * kRegion);
    x.reset();
    y.reset();
    z.reset();
    BulkList<int32_t> whole(3 * kMiB2);  // the pieces joined again
    EXPECT_EQ(whole.data(), first);
    BulkList<int32_t> other(kLarge);  // nothing free: new memory, 2 MiB of it
    EXPECT_EQ(arena.heldBytes(), 4 * kRegion);
    BulkList<int32_t> next(kLarge);  // the rest of that memory
    EXPECT_EQ(next.data(), other.data() + kLarge);
    EXPECT_EQ(arena.heldBytes(), 4 * kRegion);
    whole = BulkList<int32_t>();
    // 7.5 MiB is free: the 6 MiB and the rest of the 2 MiB that `other` and
    // `next` share. Neither holds 8 MiB, and together they are less: both
    // stay, and 8 MiB more is mapped.
    auto larger = std::make_unique<BulkList<int32_t>>(4 * kMiB2);
    EXPECT_EQ(arena.heldBytes(), 8 * kRegion);
    larger.reset();
    // 15.5 MiB free is more than 10 MiB, which no free region holds: the
    // 6 MiB and the 8 MiB go back. The free rest beside `other` and `next`
    // stays, as giving back part of a huge page would leave them on small pages.
    BulkList<int32_t> largest(5 * kMiB2);
    EXPECT_EQ(arena.heldBytes(), kRegion + 5 * kRegion);
    BulkList<int32_t> third(kLarge);  // from that rest
    EXPECT_EQ(third.data(), next.data() + kLarge);
}

// A list made before an arena may go while the arena is in place, and the
// lists of an outer arena while an inner one is: each returns where it came from.
TEST(BulkArena, ListsGoBackWhereTheyCameFrom) {
    BulkList<int32_t> fromTheHeap(kLarge);
    BulkList<int32_t> smallFromTheHeap(10);
    BulkArena outer;
    BulkList<int32_t> fromOuter(kLarge);
    BulkList<int32_t> smallFromOuter(10);
    const int32_t* outerMemory = fromOuter.data();
    const int32_t* outerBlock = smallFromOuter.data();
    {
        BulkArena inner;
        EXPECT_EQ(inner.outer(), &outer);
        BulkList<int32_t> fromInner(kLarge);
        fromTheHeap = BulkList<int32_t>();
        smallFromTheHeap = BulkList<int32_t>();
        fromOuter = BulkList<int32_t>();
        smallFromOuter = BulkList<int32_t>();
        EXPECT_EQ(inner.heldBytes(), kRegion);
    }
    EXPECT_EQ(BulkArena::current(), &outer);
    BulkList<int32_t> reused(kLarge);  // the outer arena's free region
    EXPECT_EQ(reused.data(), outerMemory);
    BulkList<int32_t> reusedBlock(10);  // and its free block
    EXPECT_EQ(reusedBlock.data(), outerBlock);
    EXPECT_EQ(outer.heldBytes(), kRegion);
}

// Moving a list between containers keeps its memory; a list grows into a
// larger region as a vector grows.
TEST(BulkArena, ListsMoveAndGrowLikeVectors) {
    BulkArena arena;
    BulkList<int64_t> list;
    for (int64_t i = 0; i < 1 << 20; ++i) list.push_back(i);
    BulkList<int64_t> moved = std::move(list);
    EXPECT_EQ(moved.size(), std::size_t{1} << 20);
    EXPECT_EQ(moved[12345], 12345);
    EXPECT_TRUE(list.empty());  // NOLINT: a moved-from vector is empty
}

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a small list's block is checked as a heap block
// is: a write past the list, or to a list given back, stops the program.
TEST(BulkArenaDeathTest, SmallBlocksAreCheckedUnderTheSanitizer) {
    BulkArena arena;
    BulkList<int32_t> list(25);
    int32_t* past = list.data() + 25;
    EXPECT_DEATH(*static_cast<int32_t volatile*>(past) = 1, "");
    int32_t* gone = list.data();
    list = BulkList<int32_t>();
    EXPECT_DEATH(*static_cast<int32_t volatile*>(gone) = 1, "");
}
#endif

}  // namespace
}  // namespace tonequill
