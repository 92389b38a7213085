#pragma once

#include <cstdint>
#include <vector>

#include "common/prepared_song.h"

namespace tonequill {

// The note indices of one output track ordered by startTick, then endTick;
// notes equal in both keep their list order. Empty for a track the song
// does not have.
std::vector<int32_t> notesInTimeOrder(const PreparedSong& song, int32_t outputIndex);

// The same for the notes at `positions` in `notes`.
std::vector<int32_t> inTimeOrder(const BulkList<PreparedNote>& notes, std::vector<int32_t> positions);

}  // namespace tonequill
