#include "common/bulk_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

namespace tonequill {
namespace {

constexpr std::size_t kLarge = kBulkThreshold / sizeof(int32_t) + 1;  // elements of a list the arena holds
constexpr std::size_t kRegion = std::size_t{2} << 20;

// Without an arena every list comes from the heap; with one, large lists
// come from its regions of whole 2 MiB pages and small ones still from the heap.
TEST(BulkArena, TakesLargeListsOnly) {
    {
        BulkList<int32_t> alone(kLarge);
        EXPECT_EQ(BulkArena::current(), nullptr);
    }
    BulkArena arena;
    EXPECT_EQ(BulkArena::current(), &arena);
    BulkList<int32_t> small(100);
    EXPECT_EQ(arena.heldBytes(), 0u);
    BulkList<int32_t> large(kLarge);
    EXPECT_EQ(arena.heldBytes(), kRegion);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(large.data()) % kRegion, 0u);
    std::iota(large.begin(), large.end(), 0);  // the memory is there to write
    EXPECT_EQ(large.back(), static_cast<int32_t>(kLarge - 1));
}

// A region a list gives back serves the next list that fits it, unless the
// list would take less than half of it.
TEST(BulkArena, ReusesTheRegionsListsGiveBack) {
    BulkArena arena;
    const int32_t* first = nullptr;
    {
        BulkList<int32_t> list(3 * kRegion / sizeof(int32_t));  // two regions' worth and more: 6 MiB
        first = list.data();
    }
    EXPECT_EQ(arena.heldBytes(), 3 * kRegion);
    BulkList<int32_t> again(2 * kRegion / sizeof(int32_t) + 1);  // takes 6 MiB, more than half of it
    EXPECT_EQ(again.data(), first);
    BulkList<int32_t> other(kLarge);  // the region is in use: a new one
    EXPECT_NE(other.data(), first);
    EXPECT_EQ(arena.heldBytes(), 4 * kRegion);
    again = BulkList<int32_t>();
    BulkList<int32_t> small(kLarge);  // 2 MiB would waste most of the free 6 MiB: a new one
    EXPECT_NE(small.data(), first);
    EXPECT_EQ(arena.heldBytes(), 5 * kRegion);
}

// A list made before an arena may go while the arena is in place, and the
// lists of an outer arena while an inner one is: each returns where it came from.
TEST(BulkArena, ListsGoBackWhereTheyCameFrom) {
    BulkList<int32_t> fromTheHeap(kLarge);
    BulkArena outer;
    BulkList<int32_t> fromOuter(kLarge);
    {
        BulkArena inner;
        EXPECT_EQ(inner.outer(), &outer);
        BulkList<int32_t> fromInner(kLarge);
        fromTheHeap = BulkList<int32_t>();
        fromOuter = BulkList<int32_t>();
        EXPECT_EQ(inner.heldBytes(), kRegion);
    }
    EXPECT_EQ(BulkArena::current(), &outer);
    BulkList<int32_t> reused(kLarge);  // the outer arena's free region
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

}  // namespace
}  // namespace tonequill
