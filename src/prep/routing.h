#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "midi/midi_file.h"

namespace tonequill {

// The highest output track a song may use (TR28); TR29 is the tempo track.
constexpr int32_t kMaxOutputTracks = 28;

// Reads a "trx" directive from a track name ("trx3 lead" sends the track to
// TR3): the output index 0..27, or -1 when the name holds none. A digit run
// too large for 32 bits throws std::out_of_range("stoi argument out of range").
int32_t parseTrackDirective(std::string_view name);

struct TrackRouting {
    std::vector<int32_t> routing;   // output index per source track
    std::vector<bool> directive;    // per source track: its name held a directive
    int32_t outputTrackCount = 0;
};

// Routes every source track to an output track: by its directive, else to
// its own index. Throws ConversionError("trx destination exceeds TR28") when
// more than 28 output tracks would be needed.
TrackRouting routeTracks(const MidiFile& file, int32_t conductorOffset, int32_t sourceTrackCount);

// A home track keeps its default place without a directive; it wins where
// several source tracks share its output track.
std::vector<bool> homeTrackFlags(const TrackRouting& routing);

}  // namespace tonequill
