#pragma once

#include <ostream>
#include <vector>

#include "mapping/mapping_tables.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Gives every note of every output track but TR4 and TR5 its pitch-envelope
// record (vibrato, arpeggio, pitch bend), collecting the distinct records in
// `tables.records`. Writes one "[ENV] track=" line per visited track to `log`.
void assignEnvelopes(MappingTables& tables, PreparedSong& song,
                     const std::vector<std::vector<PitchBend>>& bendsByTrack,
                     const std::vector<std::vector<BendRange>>& bendRangesByTrack, std::ostream& log);

}  // namespace tonequill
