// A track fed by one source track skips the arbitration sweep; it keeps
// exactly what the sweep keeps (the sweep runs whenever an observer listens).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "prep/note_extraction.h"
#include "prep/prep_observer.h"

namespace tonequill {
namespace {

bool samePieces(const BulkList<PreparedNote>& a, const BulkList<PreparedNote>& b) {
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
        BulkList<PreparedNote> routed;
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


// The pieces each note keeps, read literally: every slice between two
// neighbouring start or end ticks goes to the lowest sounding home track,
// else to the lowest sounding track; a note keeps each stretch of its own
// time made of slices its track won.
BulkList<PreparedNote> piecesReadLiterally(const BulkList<PreparedNote>& routed,
                                              const std::vector<int32_t>& members, int32_t trackCount,
                                              const std::vector<bool>& home) {
    auto takesPart = [&](const PreparedNote& n) { return n.startTick < n.endTick && n.track >= 0 && n.track < trackCount; };
    std::set<int32_t> ticks;
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (takesPart(n)) ticks.insert({n.startTick, n.endTick});
    }
    const std::vector<int32_t> bounds(ticks.begin(), ticks.end());
    auto winnerAt = [&](int32_t t) {
        int32_t best = -1;
        for (int32_t k : members) {
            const PreparedNote& n = routed[static_cast<size_t>(k)];
            if (!takesPart(n) || n.startTick > t || n.endTick <= t) continue;
            const bool better = best < 0 || (home[static_cast<size_t>(n.track)] && !home[static_cast<size_t>(best)]) ||
                                (home[static_cast<size_t>(n.track)] == home[static_cast<size_t>(best)] && n.track < best);
            if (better) best = n.track;
        }
        return best;
    };
    BulkList<PreparedNote> pieces;
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (!takesPart(n)) continue;
        bool extending = false;  // the slice before this one went into the last piece
        for (size_t i = 0; i + 1 < bounds.size(); ++i) {
            const bool kept = bounds[i] >= n.startTick && bounds[i] < n.endTick && winnerAt(bounds[i]) == n.track;
            if (kept && extending) {
                pieces.back().endTick = bounds[i + 1];
            } else if (kept) {
                PreparedNote piece = n;
                piece.startTick = bounds[i];
                piece.endTick = bounds[i + 1];
                pieces.push_back(piece);
            }
            extending = kept;
        }
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const PreparedNote& a, const PreparedNote& b) {
        return std::tie(a.startTick, a.track, a.endTick) < std::tie(b.startTick, b.track, b.endTick);
    });
    return pieces;
}

TEST(Arbitration, SeveralSourceTracksKeepWhatTheSlicesReadLiterallyGive) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        BulkList<PreparedNote> routed;
        const int count = static_cast<int>(random() % 25);
        for (int i = 0; i < count; ++i) {
            PreparedNote n;
            n.track = round % 5 == 0 ? 1 : static_cast<int32_t>(random() % 3);
            n.startTick = static_cast<int32_t>(random() % 100);
            n.endTick = n.startTick + static_cast<int32_t>(random() % 40) - (round % 5 == 0 ? -1 : 3);
            n.note = static_cast<int32_t>(random() % 128);
            routed.push_back(n);
        }
        // As preparation hands them over: by track, start and end; every third round shuffled.
        std::stable_sort(routed.begin(), routed.end(), [](const PreparedNote& a, const PreparedNote& b) {
            return std::tie(a.track, a.startTick, a.endTick) < std::tie(b.track, b.startTick, b.endTick);
        });
        std::vector<int32_t> members(routed.size());
        for (size_t i = 0; i < members.size(); ++i) members[i] = static_cast<int32_t>(i);
        if (round % 3 == 0) std::shuffle(members.begin(), members.end(), random);
        const std::vector<bool> home{round % 4 == 1, round % 2 == 0, false};
        const BulkList<PreparedNote> kept = arbitrateTrack(routed, members, 3, home, nullptr);
        ASSERT_TRUE(samePieces(kept, piecesReadLiterally(routed, members, 3, home))) << "round " << round;
        // Preparation leaves such a track's notes where they are.
        if (arbitrationKeepsAll(routed, members, 3)) {
            BulkList<PreparedNote> inPlace;
            for (int32_t k : members) inPlace.push_back(routed[static_cast<size_t>(k)]);
            ASSERT_TRUE(samePieces(kept, inPlace)) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tonequill
