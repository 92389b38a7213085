#include "envelope/bend_sampling.h"

#include <cmath>
#include <optional>
#include <sstream>

#include "envelope/pitch_values.h"
#include "prep/conversion_error.h"

namespace tonequill {

void advanceBend(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
                 double tick) {
    while (state.bendCursor < bends.size() && bends[state.bendCursor].tick <= tick) {
        state.bend = bends[state.bendCursor].value;
        ++state.bendCursor;
    }
    while (state.rangeCursor < ranges.size() && ranges[state.rangeCursor].tick <= tick) {
        state.range = ranges[state.rangeCursor].semitones;
        ++state.rangeCursor;
    }
}

BendSample sampleBend(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
                      int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site) {
    BendSample sample;
    const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
    sample.fine.reserve(count);
    sample.coarse.reserve(count);
    advanceBend(state, bends, ranges, startTick);
    for (size_t i = 0; i < count; ++i) {
        advanceBend(state, bends, ranges, startTick + std::floor(static_cast<double>(i) * ticksPerFrame));
        SplitPitch split;
        if (state.range > 0.0) {
            const double offset = (static_cast<double>(state.bend) - 8192.0) / 8192.0 * state.range * 16.0;
            const std::optional<int32_t> v = roundToInt32(offset);
            if (!v) {
                std::ostringstream text;
                text << "pitch bend out of range: " << site.text() << " bends by " << offset
                     << " sixteenths of a semitone, beyond 32 bits";
                throw ConversionError(text.str());
            }
            split = splitPitch(*v);
        }
        sample.fine.push_back(split.fine);
        sample.coarse.push_back(split.coarse);
    }
    trimTrailingZeros(sample.fine);
    trimTrailingZeros(sample.coarse);
    sample.hasBend = hasNonZero(sample.fine) || hasNonZero(sample.coarse);
    return sample;
}

}  // namespace tonequill
