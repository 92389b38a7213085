#pragma once

#include <cstdint>

namespace tonequill {

// Places a MIDI tick on the MML tick grid: tick x tickScale + 0.5, truncated.
// A place that does not fit in 32 bits stops the conversion with a
// ConversionError naming the track (TRn) and the MIDI tick.
[[noreturn]] void throwMmlTickOutOfRange(int32_t midiTick, double tickScale, int64_t trackNumber);

// Inline: the track writer places two ticks per note.
inline int32_t mmlTick(int32_t midiTick, double tickScale, int64_t trackNumber) {
    const double place = static_cast<double>(midiTick) * tickScale + 0.5;
    // Written so that NaN fails the test as well.
    if (!(place > -2147483649.0 && place < 2147483648.0)) throwMmlTickOutOfRange(midiTick, tickScale, trackNumber);
    return static_cast<int32_t>(place);
}

}  // namespace tonequill
