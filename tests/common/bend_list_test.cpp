// A bend list gives back every bend as it was put in, packed or not, and its
// cursor passes bends as a scan of a plain list does.
#include "common/bend_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tonequill {
namespace {

bool same(const PitchBend& a, const PitchBend& b) {
    return a.tick == b.tick && a.channel == b.channel && a.value == b.value;
}

std::vector<PitchBend> unpacked(const BendList& list) { return {list.begin(), list.end()}; }

TEST(BendList, GivesBackEveryBendWhateverItsShape) {
    // Steps at and past the longest that packs, a tick that goes back, values
    // and channels beyond what the reader makes, the largest tick.
    const std::vector<PitchBend> bends{
        {0, 0, 8192},     {16382, 15, 16383}, {32765, 3, 0},      {32766, 1, 1},  {100, 2, 2},
        {100, 2, 16384},  {100, 16, 5},       {2147483647, 9, 65535}, {2147483647, 0, 7},
    };
    BendList list;
    size_t words = 0;
    int32_t previous = 0;
    for (const PitchBend& b : bends) {
        list.push_back(b);
        words += BendList::wordsFor(previous, b);
        previous = b.tick;
    }
    const std::vector<PitchBend> back = unpacked(list);
    ASSERT_EQ(back.size(), bends.size());
    ASSERT_EQ(list.size(), bends.size());
    for (size_t i = 0; i < bends.size(); ++i) EXPECT_TRUE(same(back[i], bends[i])) << "bend " << i;
    EXPECT_EQ(BendList::wordsFor(0, {16382, 15, 16383}), 1u);
    EXPECT_EQ(BendList::wordsFor(0, {16383, 0, 0}), 3u);
    EXPECT_EQ(BendList::wordsFor(100, {99, 0, 0}), 3u);
    EXPECT_EQ(BendList::wordsFor(0, {0, 0, 16384}), 3u);
    EXPECT_EQ(BendList::wordsFor(0, {0, 16, 0}), 3u);
    // The first, second, fourth and last bend fit in a word each; the other five take three.
    EXPECT_EQ(words, 4u + 5u * 3u);
}

TEST(BendList, ACursorPassesWhatAScanOfThePlainListPasses) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<PitchBend> plain;
        BendList list;
        int32_t tick = static_cast<int32_t>(random() % 40000);
        for (int i = 0; i < 60; ++i) {
            // Mostly short steps, some long ones past what packs, some at one tick.
            const uint32_t kind = random() % 10;
            tick += kind == 0 ? static_cast<int32_t>(20000 + random() % 20000) : kind < 3 ? 0 : static_cast<int32_t>(random() % 30);
            const PitchBend b{tick, static_cast<uint8_t>(random() % 16), static_cast<uint16_t>(random() % 16384)};
            plain.push_back(b);
            list.push_back(b);
        }
        BendList::Cursor cursor;
        size_t at = 0;
        for (int64_t limit = 0; at < plain.size(); limit += static_cast<int64_t>(random() % 3000)) {
            int32_t want = -1;
            while (at < plain.size() && plain[at].tick <= limit) want = plain[at++].value;
            ASSERT_EQ(list.passUpTo(cursor, limit), want) << "round " << round << ", limit " << limit;
            ASSERT_EQ(cursor.passed(), at);
            ASSERT_EQ(list.atEnd(cursor), at == plain.size());
            if (at < plain.size()) {
                ASSERT_EQ(list.tickAt(cursor), plain[at].tick);
                ASSERT_TRUE(same(list.at(cursor), plain[at]));
            }
        }
    }
}

}  // namespace
}  // namespace tonequill
