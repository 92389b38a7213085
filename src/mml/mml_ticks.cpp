#include "mml/mml_ticks.h"

#include <string>

#include "prep/conversion_error.h"

namespace tonequill {

int32_t mmlTick(int32_t midiTick, double tickScale, int64_t trackNumber) {
    const double place = static_cast<double>(midiTick) * tickScale + 0.5;
    // Written so that NaN fails the test as well.
    if (!(place > -2147483649.0 && place < 2147483648.0)) {
        throw ConversionError("TR" + std::to_string(trackNumber) + ": MIDI tick " + std::to_string(midiTick) +
                              " lies beyond the MML tick range (tick scale " + std::to_string(tickScale) + ")");
    }
    return static_cast<int32_t>(place);
}

}  // namespace tonequill
