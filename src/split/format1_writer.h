#pragma once

#include <cstdint>
#include <vector>

#include "split/split_records.h"

namespace tonequill {

// The bytes of a format-1 Standard MIDI File of `tracks`, in their order:
// each track chunk starts with its name (when it has one) at tick 0, holds
// its events at their ticks with every status byte written (no running
// status), and ends with an end of track at `endTick`.
std::vector<uint8_t> writeFormat1(uint16_t division, const std::vector<SplitTrack>& tracks, uint32_t endTick);

}  // namespace tonequill
