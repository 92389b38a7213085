#pragma once

#include <cstdint>
#include <vector>

#include "prep/prep_observer.h"
#include "common/prepared_song.h"

namespace tonequill {

// Notes starting within `threshold` MIDI ticks of a group's first note, and
// before the group has ended, form one group.
int32_t chordThreshold(int32_t tpqn);

// Turns one output track into a strict sequence: each group of notes becomes
// a chord record sounding as its lowest note (highest velocity, intervals of
// its distinct pitches); on TR4 and TR5 (output indices 3 and 4) and for a
// group of one, the group's last note stays alone. Each record is then cut
// where the next begins, and records left without length are dropped. An
// observer hears of every group, every cut and every record dropped; it knows
// a group's notes by their positions in a list where `arbitrated` starts at
// `firstPosition`.
BulkList<PreparedNote> groupChords(const BulkList<PreparedNote>& arbitrated, const std::vector<int32_t>& members,
                                      int32_t outputIndex, int32_t threshold, PrepObserver* observer = nullptr,
                                      int32_t firstPosition = 0);

}  // namespace tonequill
