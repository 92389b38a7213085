#pragma once

#include <cstdint>
#include <vector>

#include "prep/prepared_song.h"

namespace tonequill {

// The note indices of one output track ordered by startTick, then endTick;
// notes equal in both keep their list order. Empty for a track the song
// does not have.
std::vector<int32_t> notesInTimeOrder(const PreparedSong& song, int32_t outputIndex);

}  // namespace tonequill
