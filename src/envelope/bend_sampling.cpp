#include "envelope/bend_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>

#include "envelope/pitch_values.h"
#include "common/conversion_error.h"

namespace tonequill {

void advanceBend(BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges,
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

namespace {

// floor(x) for x >= 0, without a library call where a conversion does it.
double floorOfNonNegative(double x) {
    if (x < 9.0e18) return static_cast<double>(static_cast<int64_t>(x));
    return std::floor(x);
}

constexpr int64_t kNoChange = std::numeric_limits<int64_t>::max();

// The tick of the next event that would change the bend state, or kNoChange.
// (A plain number: an optional, written in two parts and read back whole,
// stalls the processor on this path, taken for every note.)
int64_t nextChange(const BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges) {
    int64_t next = kNoChange;
    if (state.bendCursor < bends.size()) next = bends[state.bendCursor].tick;
    if (state.rangeCursor < ranges.size()) next = std::min<int64_t>(next, ranges[state.rangeCursor].tick);
    return next;
}

}  // namespace

BendSample sampleBend(BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges,
                      int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site) {
    BendSample sample;
    sampleBend(sample, state, bends, ranges, startTick, frames, ticksPerFrame, site);
    if (!sample.hasBend) {
        // Lists of zeros alone are left as sampled.
        const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
        sample.fine.assign(count, 0);
        sample.coarse.assign(count, 0);
    }
    return sample;
}

void sampleBend(BendSample& sample, BendState& state, const BulkList<PitchBend>& bends,
                const BulkList<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
                const NoteSite& site) {
    const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
    sample.fine.clear();
    sample.coarse.clear();
    sample.hasBend = false;
    advanceBend(state, bends, ranges, startTick);
    auto frameTick = [&](size_t i) { return startTick + floorOfNonNegative(static_cast<double>(i) * ticksPerFrame); };
    // Frames come in runs that see the same bend state: a run ends at the
    // first frame whose tick reaches the next bend or range event.
    const double lastFrameTick = count > 0 ? frameTick(count - 1) : 0.0;
    for (size_t i = 0; i < count;) {
        advanceBend(state, bends, ranges, frameTick(i));
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
        size_t end = count;
        const int64_t next = nextChange(state, bends, ranges);
        // Mostly nothing changes before the note's last frame.
        if (next != kNoChange && static_cast<double>(next) <= lastFrameTick) {
            // The first frame to reach the event: worked out from the frame
            // rate, then put right by a step or two where rounding moved it.
            // Frame i does not reach it (the state was just advanced to its tick).
            const auto nextTick = static_cast<double>(next);
            auto reaches = [&](size_t j) { return nextTick <= frameTick(j); };
            const double guess = std::ceil((nextTick - static_cast<double>(startTick)) / ticksPerFrame);
            end = guess <= static_cast<double>(i + 1) ? i + 1
                  : guess >= static_cast<double>(count - 1) ? count - 1
                                                             : static_cast<size_t>(guess);
            while (end > i + 1 && reaches(end - 1)) --end;
            while (!reaches(end)) ++end;  // frame count - 1 reaches it
        }
        if (i == 0) {
            // Mostly the bend stays 0 for the whole note: then there is nothing to sample.
            if (end == count && split == SplitPitch{}) return;
            sample.fine.reserve(count);
            sample.coarse.reserve(count);
        }
        sample.fine.insert(sample.fine.end(), end - i, split.fine);
        sample.coarse.insert(sample.coarse.end(), end - i, split.coarse);
        sample.hasBend = sample.hasBend || split.fine != 0 || split.coarse != 0;
        i = end;
    }
    // Lists of zeros alone (events that leave the bend at 0) are left as sampled.
    if (sample.hasBend) {
        trimTrailingZeros(sample.fine);
        trimTrailingZeros(sample.coarse);
    }
}

}  // namespace tonequill
