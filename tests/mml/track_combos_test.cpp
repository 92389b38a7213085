#include "mml/track_combos.h"

#include <gtest/gtest.h>

#include <map>

namespace tonequill {
namespace {

int32_t fromMap(const std::map<ComboKey, int32_t>& index, int32_t voice, int32_t level, int32_t track) {
    const auto found = index.find(ComboKey{voice, level, track});
    return found != index.end() ? found->second : -1;
}

// Every lookup answers what the song's ordered map answers, inside the box of
// a track's keys, around its edges, and for keys of other tracks.
TEST(TrackCombos, AnswersLikeTheOrderedMap) {
    const std::map<ComboKey, int32_t> index{
        {{1, 15, 1}, 0}, {{1, 8, 1}, 1},   {{3, 0, 1}, 2},    {{2, 15, 2}, 3},
        {{3001, 4, 7}, 4}, {{3001, 15, 7}, 5}, {{3005, 15, 7}, 6},
    };
    for (int32_t track : {1, 2, 3, 7}) {
        const TrackCombos combos(index, track);
        for (int32_t voice : {-1, 0, 1, 2, 3, 4, 3000, 3001, 3003, 3005, 3006}) {
            for (int32_t level = -1; level <= 16; ++level) {
                ASSERT_EQ(combos.find(voice, level), fromMap(index, voice, level, track))
                    << "voice " << voice << ", level " << level << ", track " << track;
            }
        }
    }
}

// Keys spread too wide for a table (voices a billion apart) are still found.
TEST(TrackCombos, FindsKeysSpreadTooWideForATable) {
    const std::map<ComboKey, int32_t> index{{{-1000000000, 0, 1}, 0}, {{1000000000, 2, 1}, 1}};
    const TrackCombos combos(index, 1);
    EXPECT_EQ(combos.find(-1000000000, 0), 0);
    EXPECT_EQ(combos.find(1000000000, 2), 1);
    EXPECT_EQ(combos.find(1000000000, 0), -1);
    EXPECT_EQ(combos.find(0, 0), -1);
}

}  // namespace
}  // namespace tonequill
