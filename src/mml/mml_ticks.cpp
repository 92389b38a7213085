#include "mml/mml_ticks.h"

#include <sstream>

#include "prep/conversion_error.h"

namespace tonequill {

int32_t mmlTick(int32_t midiTick, double tickScale, int64_t trackNumber) {
    const double place = static_cast<double>(midiTick) * tickScale + 0.5;
    // Written so that NaN fails the test as well.
    if (!(place > -2147483649.0 && place < 2147483648.0)) {
        std::ostringstream message;
        message << "TR" << trackNumber << ": MIDI tick " << midiTick
                << " gives an MML tick beyond the 32-bit range (tick scale " << tickScale << ")";
        throw ConversionError(message.str());
    }
    return static_cast<int32_t>(place);
}

}  // namespace tonequill
