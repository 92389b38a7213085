#include "prep/track_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace tonequill {
namespace {

TEST(TrackSet, LowestMemberFollowsInsertsAndErasesAcrossWords) {
    std::mt19937 random(3);
    for (const int32_t count : {1, 64, 65, 4096, 4097, 65535}) {
        TrackSet set(static_cast<size_t>(count));
        std::set<int32_t> plain;
        EXPECT_EQ(set.lowest(), -1);
        for (int step = 0; step < 2000; ++step) {
            const auto track = static_cast<int32_t>(random() % static_cast<uint32_t>(count));
            if (random() % 3 == 0) {
                set.erase(track);
                plain.erase(track);
            } else {
                set.insert(track);
                plain.insert(track);
            }
            ASSERT_EQ(set.lowest(), plain.empty() ? -1 : *plain.begin()) << count << " tracks, step " << step;
        }
    }
}

}  // namespace
}  // namespace tonequill
