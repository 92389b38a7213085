#pragma once

#include <cstdint>

namespace tonequill {

// Places a MIDI tick on the MML tick grid: tick x tickScale + 0.5, truncated.
// A place that does not fit in 32 bits stops the conversion with a
// ConversionError naming the track (TRn) and the MIDI tick.
int32_t mmlTick(int32_t midiTick, double tickScale, int64_t trackNumber);

}  // namespace tonequill
