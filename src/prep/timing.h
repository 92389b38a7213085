#pragma once

#include <cstdint>

#include "midi/midi_file.h"

namespace tonequill {

// True when the file has more than one track and track 0 sounds no note:
// that track then only conducts (tempo, names) and is no source track.
bool hasConductorTrack(const MidiFile& file);

// Starting tempo in BPM, from the first Set Tempo event of any track
// (rounded half up), or 120 when there is none.
int32_t startingBpm(const MidiFile& file);

// MML ticks per quarter note for a starting tempo: 48, 24 or 12, keeping
// timebase x BPM in the driver's range.
int32_t chooseTimebase(int32_t initialBpm);

}  // namespace tonequill
