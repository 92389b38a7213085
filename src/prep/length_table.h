#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "common/prepared_song.h"

namespace tonequill {

// The MML length tokens for a timebase: at most one per tick count, the
// shortest spelling for each, largest tick count first.
std::vector<LengthEntry> buildLengthTable(int32_t timebase);

// Spells a duration in MML ticks greedily from the table, pieces joined by
// "^"; a rest starts with "r". Durations below 1 give empty text. When no
// entry fits, "[LEN ERROR] " and the remainder go to `log`.
std::string lengthText(int32_t ticks, bool rest, const std::vector<LengthEntry>& table, std::ostream& log);

// The same spelling appended to `text`. Returns the remainder that no entry
// fits (0 when the duration is spelled whole); logging it is the caller's.
int32_t appendLengthText(std::string& text, int32_t ticks, bool rest, const std::vector<LengthEntry>& table);

}  // namespace tonequill
