#include "envelope/assign_envelopes.h"

namespace tonequill {

// Stand-in until envelope assignment lands: visits the tracks only.
void assignEnvelopes(MappingTables& tables, PreparedSong& song,
                     const std::vector<std::vector<PitchBend>>& bendsByTrack,
                     const std::vector<std::vector<BendRange>>& bendRangesByTrack, std::ostream& log) {
    (void)tables;
    (void)bendsByTrack;
    (void)bendRangesByTrack;
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        if (o == 3 || o == 4) continue;
        log << "[ENV] track=" << o + 1 << " notes=" << song.trackNotes[o].size() << "\n";
    }
}

}  // namespace tonequill
