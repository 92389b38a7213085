#include "envelope/bend_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <sstream>

#include "common/conversion_error.h"

namespace tonequill {
namespace {

// Passes the events from `cursor` on that lie at or before `tick` and hands
// the last of them to `take`: only the last one passed counts.
template <typename Event, typename Tick, typename Take>
inline void passEvents(std::span<const Event> events, size_t& cursor, Tick tick, Take take) {
    if (cursor >= events.size() || events[cursor].tick > tick) return;
    do {
        ++cursor;
    } while (cursor < events.size() && events[cursor].tick <= tick);
    take(events[cursor - 1]);
}

// Takes in every bend and range event at or before `tick`.
template <typename Tick>
inline void passBendEvents(BendState& state, const BendList& bends, std::span<const BendRange> ranges, Tick tick) {
    if (const int32_t value = bends.passUpTo(state.bendCursor, tick); value >= 0) state.bend = value;
    passEvents(ranges, state.rangeCursor, tick, [&state](const BendRange& e) { state.range = e.semitones; });
}

}  // namespace

void advanceBend(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
                 double tick) {
    passBendEvents(state, bends, std::span<const BendRange>(ranges), tick);
}

namespace {

[[noreturn]] void throwTooDeep(const NoteSite& site, double offset) {
    std::ostringstream text;
    text << "pitch bend out of range: " << site.text() << " bends by " << offset
         << " sixteenths of a semitone, beyond 32 bits";
    throw ConversionError(text.str());
}

// The bend in force as Em and En parts. Small and free of the error's
// machinery, as a bend that moves every frame asks for it every frame.
inline SplitPitch valueOf(const BendState& state, const NoteSite& site) {
    if (!(state.range > 0.0)) return {};
    const double offset = (static_cast<double>(state.bend) - 8192.0) / 8192.0 * state.range * 16.0;
    const std::optional<int32_t> v = roundToInt32(offset);
    if (!v) throwTooDeep(site, offset);
    return splitPitch(*v);
}

// Beyond any event's tick; frame ticks stop growing here, which keeps them
// within 64 bits whatever the frame rate.
constexpr int64_t kBeyondEvents = int64_t{1} << 62;

}  // namespace

BendRuns::BendRuns(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
                   int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site,
                   BendValueTable* values)
    : state_(state),
      bends_(bends),
      ranges_(ranges),
      site_(site),
      startTick_(startTick),
      ticksPerFrame_(ticksPerFrame),
      count_(frames > 0 ? static_cast<size_t>(frames) : 0),
      values_(values) {
    advanceBend(state_, bends, ranges, startTick);
    if (count_ == 0) return;
    lastFrameTick_ = frameTick(count_ - 1);
    takeValue();
}

int64_t BendRuns::frameTick(size_t i) const {
    // startTick + floor(i * ticksPerFrame): event ticks are whole, so an event
    // is at or before a frame exactly when it is at or before this whole tick.
    const double offset = static_cast<double>(i) * ticksPerFrame_;
    return startTick_ + (offset < static_cast<double>(kBeyondEvents) ? static_cast<int64_t>(offset) : kBeyondEvents);
}

SplitPitch BendValueTable::workOut(int32_t bend, double range, const NoteSite& site) {
    if (generation_ == 0 || !(range == range_)) {
        if (entries_.empty()) entries_.resize(kBendValues);
        range_ = range;
        if (++generation_ == 0) {
            // Every generation used: the entries start over.
            std::fill(entries_.begin(), entries_.end(), Entry{});
            generation_ = 1;
        }
    }
    BendState state;
    state.bend = bend;
    state.range = range;
    if (bend < 0 || bend >= kBendValues) return valueOf(state, site);
    Entry& entry = entries_[static_cast<size_t>(bend)];
    if (entry.generation != generation_) {
        entry.value = valueOf(state, site);
        entry.generation = generation_;
    }
    return entry.value;
}

void BendRuns::takeValue() {
    value_ = values_ != nullptr ? values_->at(state_.bend, state_.range, site_) : valueOf(state_, site_);
    valueBend_ = state_.bend;
    valueRange_ = state_.range;
}

size_t BendRuns::firstFrameReaching(int64_t tick, size_t from) const {
    // Worked out from the frame rate, then put right by a step or two where
    // rounding moved it. The answer lies in from + 2 .. count - 1, as the
    // frame after `from` does not reach the tick either.
    const double guess = std::ceil(static_cast<double>(tick - startTick_) / ticksPerFrame_);
    size_t at = guess <= static_cast<double>(from + 2)    ? from + 2
                : guess >= static_cast<double>(count_ - 1) ? count_ - 1
                                                           : static_cast<size_t>(guess);
    while (at > from + 2 && tick <= frameTick(at - 1)) --at;
    while (tick > frameTick(at)) ++at;
    return at;
}

inline size_t BendRuns::frameOfChange(int64_t change, size_t at, int64_t& tick) const {
    // Events come every frame or two in a busy bend: the next frame mostly reaches it.
    size_t end = at + 1;
    tick = frameTick(end);
    if (change > tick) {
        end = firstFrameReaching(change, at);
        tick = frameTick(end);
    }
    return end;
}

inline size_t BendRuns::step() {
    const size_t at = at_;
    // The frames up to the first one that reaches the next event hear the same state.
    int64_t change = kBeyondEvents;
    if (!bends_.atEnd(state_.bendCursor)) change = bends_.tickAt(state_.bendCursor);
    if (state_.rangeCursor < ranges_.size()) change = std::min<int64_t>(change, ranges_[state_.rangeCursor].tick);
    if (change > lastFrameTick_) {
        at_ = count_;
        return count_ - at;
    }
    int64_t tick = 0;
    const size_t end = frameOfChange(change, at, tick);
    passBendEvents(state_, bends_, ranges_, tick);
    if (state_.bend != valueBend_ || !(state_.range == valueRange_)) takeValue();
    at_ = end;
    return end - at;
}

bool BendRuns::next(SplitPitch& value, size_t& length) {
    if (!nextStretch(value, length)) return false;
    // Stretches that go on with the same value make one run. (A run read
    // ahead is whole already: the value in force after it is another.)
    while (at_ < count_ && value_ == value) length += step();
    return true;
}

bool BendRuns::nextStretch(SplitPitch& value, size_t& length) {
    if (readAhead_) {
        readAhead_ = false;
        value = aheadValue_;
        length = aheadLength_;
        return true;
    }
    if (at_ >= count_) return false;
    value = value_;
    length = step();
    return true;
}

void BendRuns::fillRest(PairFiller& fill) {
    if (readAhead_) {
        readAhead_ = false;
        fill.add(aheadValue_, aheadLength_);
    }
    if (values_ != nullptr && rangeSettled()) {
        fillFromBends(fill);
        return;
    }
    while (at_ < count_) {
        const SplitPitch value = value_;
        fill.add(value, step());
    }
}

bool BendRuns::rangeSettled() const {
    return state_.rangeCursor >= ranges_.size() || ranges_[state_.rangeCursor].tick > lastFrameTick_;
}

void BendRuns::fillFromBends(PairFiller& fill) {
    // The state is kept in locals: held in the object, it would be read again
    // after every value stored, as a 32-bit value stored into a list could
    // land on it for all the compiler knows.
    BendList::Cursor cursor = state_.bendCursor;
    int32_t bend = state_.bend;
    const double range = state_.range;
    SplitPitch value = value_;
    size_t at = at_;
    while (at < count_) {
        const int64_t change = bends_.atEnd(cursor) ? kBeyondEvents : bends_.tickAt(cursor);
        if (change > lastFrameTick_) {
            fill.add(value, count_ - at);
            at = count_;
            break;
        }
        int64_t tick = 0;
        const size_t end = frameOfChange(change, at, tick);
        fill.add(value, end - at);
        bend = bends_.passUpTo(cursor, tick);  // the bend at `change` at least
        value = values_->at(bend, range, site_);
        at = end;
    }
    state_.bendCursor = cursor;
    state_.bend = bend;
    valueBend_ = bend;
    value_ = value;
    at_ = at;
}

bool BendRuns::staysZero() {
    if (at_ == 0 && !readAhead_) readAhead_ = next(aheadValue_, aheadLength_);
    return count_ == 0 || (aheadLength_ == count_ && aheadValue_ == SplitPitch{});
}

void BendRuns::readToEnd() {
    readAhead_ = false;
    while (at_ < count_) step();
}

BendSample sampleBend(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
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

void sampleBend(BendSample& sample, BendState& state, const BendList& bends,
                const BulkList<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
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
    runs.fillRest(fill);
    sample.hasBend = true;
    trimTrailingZeros(sample.fine);
    trimTrailingZeros(sample.coarse);
}

}  // namespace tonequill
