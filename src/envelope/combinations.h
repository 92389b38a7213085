#pragma once

#include <cstdint>
#include <vector>

#include "mapping/mapping_tables.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Numbers the distinct (voice, level, track) combinations in first-seen order
// and gives every TR4 note its note-envelope record.
void buildCombinations(MappingTables& tables, PreparedSong& song);

// The same in two steps, so that the first can run beside the envelope pass.
// The TR4 records, one per voice in order of first use, come after every
// record the envelope pass makes.
struct ComboPlan {
    std::vector<EnvelopeRecord> noiseRecords;  // the TR4 voices' records, to be added in this order
    std::vector<int32_t> noiseVoices;          // their voices
};
// Numbers the combinations, collects the used voices and makes the TR4
// records without adding them; each TR4 note's envelopeIndex is left as its
// record's position in the plan. Reads the notes and [EnMap], writes nothing
// the envelope pass reads or writes.
void planCombinations(const MappingTables& tables, PreparedSong& song, ComboPlan& plan);
// Adds the plan's records to the table and points the TR4 notes at them.
void addNoiseRecords(MappingTables& tables, PreparedSong& song, ComboPlan& plan);

}  // namespace tonequill
