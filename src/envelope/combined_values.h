#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "envelope/bend_sampling.h"
#include "envelope/envelope_frames.h"
#include "envelope/token_expansion.h"
#include "envelope/value_list.h"

namespace tonequill {

// Per-frame values of a note with two or more pitch sources, each already
// split and trimmed into its Em and En parts.
struct CombinedValues {
    ValueList fine;    // Em
    ValueList coarse;  // En
};

// Sums arpeggio (semitones), bend and vibrato (sixteenths) frame by frame:
// (arp + coarse bend) * 16 + fine bend + vib. The bend lists hold their last
// value past their end; `vib` and `arp` hold at least `frames` values, or none
// for a source the note lacks, and may be `out`'s own lists of `frames` values
// (each frame is read before it is written). The lists go into `out`, whose
// storage is reused from note to note. A sum beyond 32 bits throws ConversionError naming
// `site`.
void combineValues(CombinedValues& out, const BendSample& bend, std::span<const int32_t> vib,
                   std::span<const int32_t> arp, int32_t frames, const NoteSite& site);

// The same sums for a long note, read straight from its bend's runs (none
// given yet) and its vibrato and arpeggio cycles (null for a source the note
// lacks): nothing is spelled out per frame but the sums themselves, which go
// into `out`. A sum beyond 32 bits throws the error combineValues throws,
// unless a bend later in the note is too deep for 32 bits: the bend is
// sampled before anything is summed, so its error comes first.
void combineRuns(CombinedValues& out, BendRuns& bend, const ValueCycle* vib, const ValueCycle* arp,
                 const NoteSite& site);

}  // namespace tonequill
