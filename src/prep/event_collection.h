#pragma once

#include <cstdint>
#include <vector>

#include "midi/midi_file.h"
#include "common/prepared_song.h"

namespace tonequill {

// The channel events the later stages need, from every raw track, each record
// carrying its raw track index.
struct CollectedEvents {
    std::vector<ProgramChange> programs;     // by (track, tick, channel)
    std::vector<PitchBend> bends;            // by (track, tick)
    std::vector<BendRange> ranges;           // by (track, tick)
    std::vector<ControlChange> controllers;  // by (track, tick, controller, channel)
};

// Collects program changes, pitch bends, controllers and the pitch-bend range
// changes made through registered parameter 0 (controllers 101/100 both 0,
// then 6 for whole semitones or 38 for hundredths). The parameter state is
// kept per channel across all tracks.
CollectedEvents collectEvents(const MidiFile& file);

// The same events per source track (the conductor track's own are dropped).
struct SourceTrackEvents {
    std::vector<std::vector<ProgramChange>> programs;     // ordered by tick
    std::vector<std::vector<PitchBend>> bends;            // ordered by tick
    std::vector<std::vector<BendRange>> ranges;           // ordered by tick
    std::vector<std::vector<ControlChange>> modulation;   // controller 1, ordered by tick
    std::vector<std::vector<ControlChange>> cc12;         // controller 12, ordered by tick
};

SourceTrackEvents distributeEvents(const CollectedEvents& events, int32_t conductorOffset, int32_t sourceTrackCount);

}  // namespace tonequill
