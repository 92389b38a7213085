#pragma once

#include <cstdint>
#include <vector>

#include "midi_builder.h"

namespace tonequill::testing {

// A conductor with a tempo change, a lead directed onto TR2 over a home-track
// chord there, percussion on TR4 and a sample track on TR5.
inline std::vector<uint8_t> routedSong() {
    TrackBuilder conductor;
    conductor.name(0, "Demo")
        .tempo(0, 468750)
        .program(0, 0, 3)
        .controller(0, 1, 101, 0)
        .controller(0, 1, 100, 0)
        .tempo(1920, 1000000);
    TrackBuilder lead;
    lead.name(0, "trx2 lead").program(0, 0, 5).note(0, 960, 0, 72, 100).note(960, 1920, 0, 74, 90);
    TrackBuilder pad;
    pad.name(0, "pad")
        .program(0, 1, 10)
        .controller(0, 1, 6, 12)
        .controller(0, 1, 38, 50)
        .note(480, 1440, 1, 60, 80)
        .note(500, 1440, 1, 64, 100)
        .note(480, 1440, 1, 67, 90)
        .pitchBend(960, 1, 12288);
    TrackBuilder perc;
    perc.name(0, "trx4 perc").note(0, 100, 9, 36, 127).note(20, 100, 9, 38, 64).note(480, 600, 9, 36, 127);
    TrackBuilder dpcm;
    dpcm.name(0, "trx5 dpcm").note(0, 240, 9, 40, 100);
    return buildMidi({conductor, lead, pad, perc, dpcm}, 480);
}

}  // namespace tonequill::testing
