#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi_builder.h"

namespace tonequill::testing {

// xorshift32: the same numbers on every platform.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed == 0 ? 1 : seed) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int32_t between(int32_t low, int32_t high) {  // inclusive
        return low + static_cast<int32_t>(next() % static_cast<uint32_t>(high - low + 1));
    }
    bool chance(int percent) { return between(1, 100) <= percent; }

private:
    uint32_t state_;
};

// Selects the pitch-bend range with registered parameter 0.
void bendRange(TrackBuilder& track, int32_t tick, int channel, int semitones, int cents = -1);

// A conductor track with tempo changes and one pseudo-random track per name
// (notes, chords, gaps, controllers 1 and 12, programs, bend ranges, bends),
// each `quarters` quarter notes long.
std::vector<uint8_t> randomSong(uint32_t seed, int32_t q, uint32_t tempo, const std::vector<std::string>& names,
                                int32_t quarters = 32);

// A mapping file for the random songs: voices, vibratos and arpeggios.
extern const char* const kRandomMapping;

}  // namespace tonequill::testing
