#include "report/bar_beat.h"

#include <algorithm>
#include <cmath>

namespace tonequill {
namespace {

struct Signature {
    int32_t tick = 0;
    int32_t numerator = 0;
    int32_t power = 0;  // the denominator is 2 to this power
};

std::vector<Signature> timeSignatures(const MidiFile& file) {
    std::vector<Signature> found;
    for (const TimeSignature& t : file.timeSignatures) found.push_back(Signature{t.tick, t.numerator, t.power});
    std::stable_sort(found.begin(), found.end(), [](const Signature& a, const Signature& b) { return a.tick < b.tick; });
    return found;
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

int64_t mmlTickOf(int64_t midiTick, double tickScale) {
    const double place = static_cast<double>(midiTick) * tickScale + 0.5;
    if (!(place > -9.0e15 && place < 9.0e15)) return 0;
    return static_cast<int64_t>(place);
}

BarBeatClock::BarBeatClock(const MidiFile& file, int32_t tpqn, double tickScale, int32_t wholeNoteTicks)
    : tickScale_(tickScale), wholeNoteTicks_(wholeNoteTicks) {
    const int64_t quarter = std::max<int64_t>(tpqn, 1);
    auto meter = [&](int64_t tick, int64_t firstBar, int32_t numerator, int32_t power) {
        MeterSpan m;
        m.tick = tick;
        m.firstBar = firstBar;
        m.numerator = numerator;
        m.denominator = 1 << power;
        m.beatTicks = 4 * quarter / m.denominator;
        m.barTicks = m.beatTicks * numerator;
        return m;
    };
    meters_.push_back(meter(0, 1, 4, 2));
    for (const Signature& s : timeSignatures(file)) {
        if (s.numerator < 1 || s.power > 30 || (4 * quarter) % (int64_t{1} << s.power) != 0) continue;
        const int64_t tick = std::max(s.tick, 0);
        const MeterSpan& last = meters_.back();
        fromFile_ = true;
        if (tick == last.tick) {
            meters_.back() = meter(tick, last.firstBar, s.numerator, s.power);
            continue;
        }
        const int64_t bars = (tick - last.tick + last.barTicks - 1) / last.barTicks;
        meters_.push_back(meter(tick, last.firstBar + bars, s.numerator, s.power));
    }
}

BarBeat BarBeatClock::at(int64_t tick) const {
    tick = std::max<int64_t>(tick, 0);
    auto it = std::upper_bound(meters_.begin(), meters_.end(), tick,
                               [](int64_t t, const MeterSpan& m) { return t < m.tick; });
    const MeterSpan& m = *std::prev(it);
    const int64_t offset = tick - m.tick;
    const int64_t inBar = offset % m.barTicks;
    return BarBeat{m.firstBar + offset / m.barTicks, inBar / m.beatTicks + 1, inBar % m.beatTicks};
}

std::string BarBeatClock::text(int64_t tick) const {
    const BarBeat p = at(tick);
    std::string s = std::to_string(p.bar) + ":" + std::to_string(p.beat);
    if (p.tick != 0) {
        s += ':';
        s += std::to_string(p.tick);
    }
    return s;
}

int64_t BarBeatClock::mmlBar(int64_t tick) const {
    if (wholeNoteTicks_ < 1) return 0;
    return floorDiv(mmlTickOf(tick, tickScale_), wholeNoteTicks_) + 1;
}

std::string BarBeatClock::place(int64_t tick) const {
    std::string s = text(tick);
    const int64_t bar = mmlBar(tick);
    if (wholeNoteTicks_ >= 1 && bar != at(tick).bar) s += " (MML bar " + std::to_string(bar) + ")";
    return s;
}

int64_t BarBeatClock::barStart(int64_t bar) const {
    bar = std::max<int64_t>(bar, 1);
    auto it = std::upper_bound(meters_.begin(), meters_.end(), bar,
                               [](int64_t b, const MeterSpan& m) { return b < m.firstBar; });
    const MeterSpan& m = *std::prev(it);
    return m.tick + (bar - m.firstBar) * m.barTicks;
}

}  // namespace tonequill
