#include "prep/event_collection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tonequill {
namespace {

// Registered-parameter state of one channel.
struct RpnState {
    int32_t high = -1;
    int32_t low = -1;
    double range = 2.0;
};

// Events of one tick in file order, put in channel order by a stable sort,
// which a list already in that order (nearly every list) is spared.
template <typename List>
void orderByTickThenChannel(List& list) {
    using Record = typename List::value_type;
    auto before = [](const Record& a, const Record& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.channel < b.channel;
    };
    if (!std::is_sorted(list.begin(), list.end(), before)) std::stable_sort(list.begin(), list.end(), before);
}

template <typename List>
void renumber(List& list, int32_t source) {
    for (auto& r : list) r.track = source;
}

}  // namespace

SourceTrackEvents collectEvents(std::vector<MidiTrack>& tracks, int32_t conductorOffset, int32_t sourceTrackCount) {
    SourceTrackEvents out;
    const size_t count = static_cast<size_t>(std::max(sourceTrackCount, 0));
    out.programs.resize(count);
    out.bends.resize(count);
    out.ranges.resize(count);
    out.modulation.resize(count);
    out.cc12.resize(count);

    std::array<RpnState, 16> rpn{};
    for (size_t r = 0; r < tracks.size(); ++r) {
        MidiTrack& track = tracks[r];
        out.programCount += track.programs.size();
        out.bendCount += track.bends.size();
        const int64_t s = static_cast<int64_t>(r) - conductorOffset;
        const bool kept = s >= 0 && s < sourceTrackCount;
        const auto source = static_cast<int32_t>(s);

        // The controllers in file order: the parameter state follows them.
        BulkList<BendRange>* ranges = kept ? &out.ranges[static_cast<size_t>(s)] : nullptr;
        size_t modulationCount = 0;
        size_t cc12Count = 0;
        for (const ControlChange& c : track.controllers) {
            modulationCount += c.controller == 1 ? 1 : 0;
            cc12Count += c.controller == 12 ? 1 : 0;
            RpnState& state = rpn[static_cast<size_t>(c.channel & 0x0F)];
            if (c.controller == 101) {
                state.high = c.value;
            } else if (c.controller == 100) {
                state.low = c.value;
            } else if (state.high == 0 && state.low == 0 && (c.controller == 6 || c.controller == 38)) {
                state.range = c.controller == 6 ? static_cast<double>(c.value) : std::floor(state.range) + c.value / 100.0;
                ++out.rangeCount;
                if (ranges != nullptr) ranges->push_back(BendRange{c.tick, c.channel, source, state.range});
            }
        }
        if (!kept) {
            track.programs = {};
            track.bends = {};
            track.controllers = {};
            continue;
        }

        const auto k = static_cast<size_t>(s);
        BulkList<ControlChange>& modulation = out.modulation[k];
        BulkList<ControlChange>& cc12 = out.cc12[k];
        modulation.reserve(modulationCount);
        cc12.reserve(cc12Count);
        for (const ControlChange& c : track.controllers) {
            if (c.controller == 1) modulation.push_back(c);
            if (c.controller == 12) cc12.push_back(c);
        }
        track.controllers = {};
        orderByTickThenChannel(modulation);
        orderByTickThenChannel(cc12);

        out.programs[k] = std::exchange(track.programs, {});
        renumber(out.programs[k], source);
        orderByTickThenChannel(out.programs[k]);
        out.bends[k] = std::exchange(track.bends, {});
    }
    return out;
}

}  // namespace tonequill
