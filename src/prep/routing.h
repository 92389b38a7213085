#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/midi_file.h"

namespace tonequill {

// The highest output track a song may use (TR28); TR29 is the tempo track.
constexpr int32_t kMaxOutputTracks = 28;

// Reads a "trx" directive from a track name ("trx3 lead" sends the track to
// TR3): the output index 0..27, or -1 when the name holds none. A digit run
// too large for 32 bits throws std::out_of_range("stoi argument out of range").
int32_t parseTrackDirective(std::string_view name);

// A track name whose "trx" number does not fit in 32 bits. Its message is
// the number reader's ("stoi argument out of range"); it also says which
// track, so that a hint can name it.
struct TrackNameNumberError : std::out_of_range {
    TrackNameNumberError(const std::out_of_range& cause, int32_t rawTrack, std::string name)
        : std::out_of_range(cause), rawTrack(rawTrack), name(std::move(name)) {}
    int32_t rawTrack;  // the track's index in the file
    std::string name;
};

// The hint line for such a track name: [PREP] track 3 "trx99999999999 Lead": ...
std::string trackNameNumberHintLine(const TrackNameNumberError& error);

struct TrackRouting {
    std::vector<int32_t> routing;   // output index per source track
    std::vector<bool> directive;    // per source track: its name held a directive
    int32_t outputTrackCount = 0;
};

// Routes every source track to an output track: by its directive, else to
// its own index. Throws ConversionError("trx destination exceeds TR28") when
// more than 28 output tracks would be needed, and TrackNameNumberError for a
// "trx" number beyond 32 bits.
TrackRouting routeTracks(const MidiFile& file, int32_t conductorOffset, int32_t sourceTrackCount);

// A home track keeps its default place without a directive; it wins where
// several source tracks share its output track.
std::vector<bool> homeTrackFlags(const TrackRouting& routing);

}  // namespace tonequill
