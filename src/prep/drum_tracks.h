#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/prepared_song.h"
#include "midi/midi_file.h"
#include "prep/routing.h"

namespace tonequill {

// MIDI channel 10, counted from 0 as the status byte does.
constexpr int32_t kDrumChannel = 9;

// The source tracks with notes on the drum channel (`drumNotes` counts them
// per source track) that track order sends elsewhere than TR4, where they
// would play as pitched notes and chords. A track that a directive in its
// name sends somewhere was sent there on purpose and is left out.
std::vector<DrumTrackHint> drumTracksOffNoise(const TrackRouting& routing, const std::vector<int32_t>& drumNotes,
                                              const MidiFile& file, int32_t conductorOffset);

// `[PREP] warning: track 3 "Drums" has 16 notes on MIDI channel 10 but goes
// to TR1 by track order; ...` (without "\n"); tracks are counted from 1 in
// file order, as the report counts them.
std::string drumTrackHintLine(const DrumTrackHint& hint);

}  // namespace tonequill
