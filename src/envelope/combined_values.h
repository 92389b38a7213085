#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "envelope/bend_sampling.h"
#include "envelope/envelope_frames.h"

namespace tonequill {

// Per-frame values of a note with two or more pitch sources, each already
// split and trimmed into its Em and En parts.
struct CombinedValues {
    std::vector<int32_t> fine;    // Em
    std::vector<int32_t> coarse;  // En
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

}  // namespace tonequill
