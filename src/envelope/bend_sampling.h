#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "envelope/envelope_frames.h"
#include "common/prepared_song.h"

namespace tonequill {

// Where one source track's pitch bend stands while a track's notes are
// sampled in time order: the next unread bend and range events and the values
// in force. Made fresh for every output track's pass.
struct BendState {
    size_t bendCursor = 0;
    size_t rangeCursor = 0;
    int32_t bend = 8192;   // centre
    double range = 2.0;    // semitones
};

// A note's pitch bend, one value per frame split into Em (fine) and En
// (coarse) parts, each with trailing zeros trimmed.
struct BendSample {
    std::vector<int32_t> fine;
    std::vector<int32_t> coarse;
    bool hasBend = false;  // some value is not 0
};

// Takes in every bend and range event at or before `tick`. Cursors only move
// forward, so notes must be sampled in start order.
void advanceBend(BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges,
                 double tick);

// Samples the bend once per frame from `startTick`, frame i at startTick +
// floor(i * ticksPerFrame). A range of 0 or below contributes nothing. A bend
// too deep for 32 bits throws ConversionError naming `site`.
BendSample sampleBend(BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges,
                      int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site);
// The same into `into`, whose storage is reused from note to note; a note
// whose bend stays 0 throughout leaves both lists empty instead of a zero
// for every frame (the envelope pass reads no lists then).
void sampleBend(BendSample& into, BendState& state, const BulkList<PitchBend>& bends,
                const BulkList<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
                const NoteSite& site);

}  // namespace tonequill
