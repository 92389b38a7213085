#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "common/prepared_song.h"

namespace tonequill {

// The MML tick of a tempo entry at MIDI tick `tick`: placed exactly like a
// note start (tick x tickScale + 0.5, truncated), so a tempo change lands
// with the notes it belongs to.
int32_t scaledTicks(int32_t tick, double tickScale);

// The tempo track TR29: every tempo entry of the file as "t" and its BPM,
// with unbroken rests between them; starts "TR29\n" and ends "\n\n".
std::string tempoTrackText(const PreparedSong& song, std::ostream& log);

}  // namespace tonequill
