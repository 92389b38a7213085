#pragma once

#include <ostream>
#include <string>

#include "mml/text_sink.h"
#include "common/prepared_song.h"

namespace tonequill {

// The document head: title, driver code file, timebase, the "#External" chip
// line, the bank line and the DPCM sample list.
void writeHeader(std::ostream& out, const PreparedSong& song);
void writeHeader(TextSink& sink, const PreparedSong& song);

// The "#External" line without its line break: the chip number whose decimal
// digits flag the expansion groups that have notes, and their names.
std::string externalLine(const PreparedSong& song);

}  // namespace tonequill
