#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "split/split_records.h"

namespace tonequill {

// A format-0 file rewritten as format 1, or why it cannot be.
struct SplitResult {
    std::vector<uint8_t> midi;  // the format-1 file; empty on error
    std::vector<SplitTrack> tracks;  // what it holds, in order; their events view the input's bytes
    std::string error;  // empty on success; else what was wrong and where
};

// Rewrites the bytes of a format-0 Standard MIDI File as format 1: a first
// track with the meta events and system-exclusive messages, then one track
// per MIDI channel in use, named after it (see splitByChannel); every event
// stays at its tick.
SplitResult splitFormat0(std::span<const uint8_t> bytes);

// Where the split file goes by default: beside the input, "-f1" added to
// the file name before its extension ("music/song.mid" gives
// "music/song-f1.mid"); a name without one gets "-f1.mid".
std::string splitOutputPath(const std::string& input);

}  // namespace tonequill
