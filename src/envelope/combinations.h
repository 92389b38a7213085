#pragma once

#include "common/combination.h"
#include "common/envelope_table.h"
#include "common/prepared_song.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// Numbers the distinct (voice, level, track) combinations in order of first
// use, track by track and each track's notes in time order, and gives every
// TR4 note its note-envelope record: one per voice, made from its [EnMap]
// entry and added to `envelopes` after the envelope pass's records. TR5
// plays samples and has no combinations. A voice number beyond 32 bits is a
// ConversionError; an [EnMap] number beyond 32 bits throws
// std::out_of_range("stoi argument out of range").
ComboTable numberCombinations(const MappingTables& tables, const PreparedSong& song, EnvelopeTable& envelopes);

}  // namespace tonequill
