#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/channel_events.h"
#include "midi/midi_file.h"

namespace tonequill {

// The channel events preparation keeps, per source track, each list in time
// order; and how many of each kind the file has, every track counted (the
// conductor track's too).
struct SourceTrackEvents {
    std::vector<BulkList<ProgramChange>> programs;     // by tick, then channel
    std::vector<BendList> bends;                       // by tick
    std::vector<BulkList<BendRange>> ranges;           // by tick
    std::vector<BulkList<ControlChange>> modulation;   // controller 1, by tick, then channel
    std::vector<BulkList<ControlChange>> cc12;         // controller 12, by tick, then channel
    size_t programCount = 0;
    size_t bendCount = 0;
    size_t rangeCount = 0;
};

// Takes over the tracks' program changes and pitch bends, picks out
// controllers 1 and 12, and works out the pitch-bend range changes made
// through registered parameter 0 (controllers 101/100 both 0, then 6 for
// whole semitones or 38 for hundredths). The parameter state is kept per
// channel across all tracks, in track order. Raw track r is source track
// r - conductorOffset; the conductor track's own events are dropped. The
// tracks are left without those lists; their notes stay.
SourceTrackEvents collectEvents(std::vector<MidiTrack>& tracks, int32_t conductorOffset, int32_t sourceTrackCount);

}  // namespace tonequill
