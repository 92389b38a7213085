#pragma once

#include <cstdint>

namespace tonequill {

// Channel events as the reader gives them and preparation keeps them, each
// with its tick, channel and (but for bends and controllers) track: the raw
// track in the file, the source track once prepared.

struct ProgramChange {
    int32_t tick = 0;
    int32_t channel = 0;
    int32_t track = 0;
    int32_t program = 0;
};

// A bend as the reader makes it and a bend list gives it back; the list it is
// in tells its track, and packs it (common/bend_list.h).
struct PitchBend {
    int32_t tick = 0;
    uint8_t channel = 0;
    uint16_t value = 8192;  // 0 to 16383, centre 8192
};

struct BendRange {
    int32_t tick = 0;
    int32_t channel = 0;
    int32_t track = 0;
    double semitones = 2.0;
};

// Controllers are many too (a modulation wheel sends one every few ticks):
// 8 bytes each, the list telling the track.
struct ControlChange {
    int32_t tick = 0;
    uint8_t channel = 0;
    uint8_t controller = 0;
    uint8_t value = 0;
};

}  // namespace tonequill
