#include "mml/mml_ticks.h"

#include <sstream>

#include "common/conversion_error.h"

namespace tonequill {

void throwMmlTickOutOfRange(int32_t midiTick, double tickScale, int64_t trackNumber) {
    std::ostringstream message;
    message << "TR" << trackNumber << ": MIDI tick " << midiTick
            << " gives an MML tick beyond the 32-bit range (tick scale " << tickScale << ")";
    throw ConversionError(message.str());
}

}  // namespace tonequill
