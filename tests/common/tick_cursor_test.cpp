#include "common/tick_cursor.h"

#include <gtest/gtest.h>

#include <random>

#include "common/prepared_song.h"

namespace tonequill {
namespace {

TEST(TickCursor, GivesTheLastEventAtOrBeforeEachTickAskedForwardOrBack) {
    std::mt19937 random(8);
    for (int round = 0; round < 200; ++round) {
        BulkList<ProgramChange> changes;
        int32_t tick = 0;
        for (int i = static_cast<int>(random() % 12); i > 0; --i) {
            tick += static_cast<int32_t>(random() % 3) * 10;  // some changes share a tick
            changes.push_back(ProgramChange{tick, 0, 0, static_cast<int32_t>(random() % 128)});
        }
        TickCursor<ProgramChange, &ProgramChange::program> cursor(-1);
        int32_t asked = 0;
        for (int q = 0; q < 30; ++q) {
            // Mostly forward, now and then back in time.
            asked = random() % 5 == 0 ? static_cast<int32_t>(random() % 120) : asked + static_cast<int32_t>(random() % 15);
            int32_t want = -1;
            for (const ProgramChange& c : changes) {
                if (c.tick <= asked) want = c.program;
            }
            ASSERT_EQ(cursor.at(changes, asked), want) << "round " << round << ", tick " << asked;
        }
    }
}

}  // namespace
}  // namespace tonequill
