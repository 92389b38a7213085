#include "envelope/bend_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>

#include "common/conversion_error.h"

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
int64_t nextChange(const BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges) {
    int64_t next = kNoChange;
    if (state.bendCursor < bends.size()) next = bends[state.bendCursor].tick;
    if (state.rangeCursor < ranges.size()) next = std::min<int64_t>(next, ranges[state.rangeCursor].tick);
    return next;
}

// The bend in force as Em and En parts.
SplitPitch valueOf(const BendState& state, const NoteSite& site) {
    if (!(state.range > 0.0)) return {};
    const double offset = (static_cast<double>(state.bend) - 8192.0) / 8192.0 * state.range * 16.0;
    const std::optional<int32_t> v = roundToInt32(offset);
    if (!v) {
        std::ostringstream text;
        text << "pitch bend out of range: " << site.text() << " bends by " << offset
             << " sixteenths of a semitone, beyond 32 bits";
        throw ConversionError(text.str());
    }
    return splitPitch(*v);
}

}  // namespace

BendRuns::BendRuns(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
                   int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site)
    : state_(state),
      bends_(bends),
      ranges_(ranges),
      site_(site),
      startTick_(startTick),
      ticksPerFrame_(ticksPerFrame),
      count_(frames > 0 ? static_cast<size_t>(frames) : 0) {
    advanceBend(state_, bends_, ranges_, startTick);
    if (count_ == 0) return;
    lastFrameTick_ = frameTick(count_ - 1);
    value_ = valueNow();
}

double BendRuns::frameTick(size_t i) const {
    return startTick_ + floorOfNonNegative(static_cast<double>(i) * ticksPerFrame_);
}

SplitPitch BendRuns::valueNow() {
    if (state_.bend != knownBend_ || !(state_.range == knownRange_)) {
        known_ = valueOf(state_, site_);
        knownBend_ = state_.bend;
        knownRange_ = state_.range;
    }
    return known_;
}

size_t BendRuns::firstFrameReaching(double tick, size_t from) const {
    // Events come every frame or two in a busy bend: the next frame mostly reaches it.
    if (tick <= frameTick(from + 1)) return from + 1;
    // Otherwise worked out from the frame rate, then put right by a step or
    // two where rounding moved it. The answer lies in from + 2 .. count - 1.
    const double guess = std::ceil((tick - static_cast<double>(startTick_)) / ticksPerFrame_);
    size_t at = guess <= static_cast<double>(from + 2)    ? from + 2
                : guess >= static_cast<double>(count_ - 1) ? count_ - 1
                                                           : static_cast<size_t>(guess);
    while (at > from + 2 && tick <= frameTick(at - 1)) --at;
    while (!(tick <= frameTick(at))) ++at;
    return at;
}

bool BendRuns::next(SplitPitch& value, size_t& length) {
    if (readAhead_) {
        readAhead_ = false;
        value = aheadValue_;
        length = aheadLength_;
        return true;
    }
    return read(value, length);
}

bool BendRuns::staysZero() {
    if (at_ == 0 && !readAhead_) readAhead_ = read(aheadValue_, aheadLength_);
    return count_ == 0 || (aheadLength_ == count_ && aheadValue_ == SplitPitch{});
}

void BendRuns::readToEnd() {
    SplitPitch value;
    size_t length = 0;
    while (next(value, length)) {
    }
}

bool BendRuns::read(SplitPitch& value, size_t& length) {
    if (at_ >= count_) return false;
    value = value_;
    size_t end = at_;
    // Frames up to the first one that reaches the next event hear the same
    // state; the run goes on through events that leave the value as it is.
    for (;;) {
        const int64_t change = nextChange(state_, bends_, ranges_);
        if (change == kNoChange || static_cast<double>(change) > lastFrameTick_) {
            end = count_;
            break;
        }
        end = firstFrameReaching(static_cast<double>(change), end);
        advanceBend(state_, bends_, ranges_, frameTick(end));
        value_ = valueNow();
        if (!(value_ == value)) break;
    }
    length = end - at_;
    at_ = end;
    return true;
}

BendSample sampleBend(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
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

void sampleBend(BendSample& sample, BendState& state, const std::vector<PitchBend>& bends,
                const std::vector<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
                const NoteSite& site) {
    BendRuns runs(state, bends, ranges, startTick, frames, ticksPerFrame, site);
    sampleRuns(sample, runs);
}

void sampleRuns(BendSample& sample, BendRuns& runs) {
    sample.fine.clear();
    sample.coarse.clear();
    sample.hasBend = false;
    // Mostly the bend stays 0 for the whole note: then there is nothing to sample.
    if (runs.staysZero()) {
        runs.readToEnd();
        return;
    }
    sample.fine.reserve(runs.frames());
    sample.coarse.reserve(runs.frames());
    PairFiller fill(sample.fine, sample.coarse);
    SplitPitch value;
    size_t length = 0;
    while (runs.next(value, length)) fill.add(value, length);
    sample.hasBend = true;
    trimTrailingZeros(sample.fine);
    trimTrailingZeros(sample.coarse);
}

}  // namespace tonequill
