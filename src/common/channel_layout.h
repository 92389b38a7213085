#pragma once

#include <cstdint>

namespace tonequill {

// The expansion chip a group of output tracks plays on; the base chip has no
// "#External" bit.
enum class ChipGroup { base, fds, vrc6, vrc7, mmc5, n16x, sunsoft5b };

// How a track writes its pitches.
enum class PitchRule {
    octaveMinusOne,   // octave = note / 12 - 1
    octavePlain,      // octave = note / 12 (TR3)
    octavePlusOne,    // octave = note / 12 + 1 (TR6)
    noiseC,           // every note "c", header " o5" (TR4)
    absolutePlusOne,  // octave = note / 12 + 1, written on every note (TR5)
};

struct ChannelLayout {
    ChipGroup group = ChipGroup::base;
    int32_t voiceBase = 0;
    int32_t levelCount = 0;
    PitchRule pitch = PitchRule::octaveMinusOne;
};

// The fixed role of output index 0..27 (TR1..TR28); any other index has
// voiceBase 0 and levelCount 0.
ChannelLayout channelLayout(int32_t outputIndex);

// Volume level of a velocity on a track with `levelCount` levels: the nearest
// of 0..levelCount-1, or 0 when the track has fewer than 2 levels.
int32_t volumeLevel(int32_t levelCount, int32_t velocity);

}  // namespace tonequill
