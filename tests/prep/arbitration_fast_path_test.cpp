// A track fed by one source track skips the arbitration sweep; it keeps
// exactly what the sweep keeps (the sweep runs whenever an observer listens).
#include <gtest/gtest.h>

#include <random>

#include "prep/note_extraction.h"
#include "prep/prep_observer.h"

namespace tonequill {
namespace {

bool samePieces(const std::vector<PreparedNote>& a, const std::vector<PreparedNote>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].track != b[i].track || a[i].startTick != b[i].startTick || a[i].endTick != b[i].endTick ||
            a[i].note != b[i].note || a[i].velocity != b[i].velocity) {
            return false;
        }
    }
    return true;
}

TEST(Arbitration, OneSourceTrackKeepsWhatTheSweepKeeps) {
    std::mt19937 random(99);
    PrepObserver listener;  // hears nothing, but makes the sweep run
    for (int round = 0; round < 500; ++round) {
        std::vector<PreparedNote> routed;
        std::vector<int32_t> members;
        const int32_t track = static_cast<int32_t>(random() % 3);
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) {
            PreparedNote n;
            n.track = random() % 9 == 0 ? 5 : track;  // now and then a track outside the song
            n.startTick = static_cast<int32_t>(random() % 200);
            n.endTick = n.startTick + static_cast<int32_t>(random() % 60) - 5;  // some never last
            n.note = static_cast<int32_t>(random() % 128);
            n.velocity = static_cast<int32_t>(random() % 128);
            members.push_back(static_cast<int32_t>(routed.size()));
            routed.push_back(n);
        }
        std::shuffle(members.begin(), members.end(), random);
        const std::vector<bool> home(3, round % 2 == 0);
        ASSERT_TRUE(samePieces(arbitrateTrack(routed, members, 3, home, nullptr),
                               arbitrateTrack(routed, members, 3, home, &listener)))
            << "round " << round;
    }
}

}  // namespace
}  // namespace tonequill
