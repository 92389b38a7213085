#pragma once

#include "mapping/mapping_tables.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Numbers the distinct (voice, level, track) combinations in first-seen order
// and gives every TR4 note its note-envelope record.
void buildCombinations(MappingTables& tables, PreparedSong& song);

}  // namespace tonequill
