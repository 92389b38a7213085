#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "envelope/combination.h"
#include "mapping/mapping_tables.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Numbers the distinct (voice, level, track) combinations in first-seen order
// and gives every TR4 note its note-envelope record.
void buildCombinations(MappingTables& tables, PreparedSong& song);

// The same in steps, so that the heavy part can run while the song is
// still being prepared, track by track. The TR4 records, one per voice in
// order of first use, come after every record the envelope pass makes.
struct ComboPlan {
    std::vector<EnvelopeRecord> noiseRecords;  // the TR4 voices' records, to be added in this order
    std::vector<int32_t> noiseVoices;          // their voices
};
// One output track's combinations, worked out from its notes alone: the
// keys in order of first use, and on TR4 the voices' records. A voice
// number out of range is kept as `failure` (the track's first), for the
// numbering to throw in turn.
struct TrackComboPlan {
    std::vector<ComboKey> combos;
    ComboPlan noise;
    std::exception_ptr failure;
};
// Plans output track `outputIndex` from the notes at `timeOrder` in `notes`
// (the track's notes in time order); gives each TR4 note its record's
// position in the track's noise records. Reads [EnMap]; writes nothing but
// the TR4 notes and the plan. TR5 plays samples and has no combinations.
TrackComboPlan planTrackCombinations(const MappingTables& tables, int32_t outputIndex, std::vector<PreparedNote>& notes,
                                     const std::vector<int32_t>& timeOrder);
// Numbers the tracks' combinations in track order (`plans` has one entry
// per output track), collects the used voices and hands over TR4's records;
// throws the first track's failure first.
void numberCombinations(PreparedSong& song, std::vector<TrackComboPlan>& plans, ComboPlan& plan);
// Both steps over a prepared song.
void planCombinations(const MappingTables& tables, PreparedSong& song, ComboPlan& plan);
// Adds the plan's records to the table and points the TR4 notes at them.
void addNoiseRecords(MappingTables& tables, PreparedSong& song, ComboPlan& plan);

}  // namespace tonequill
