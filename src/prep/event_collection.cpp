#include "prep/event_collection.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonequill {
namespace {

int32_t highNibble(const MidiEvent& e) { return e.bytes[0] >> 4; }
int32_t lowNibble(const MidiEvent& e) { return e.bytes[0] & 0x0F; }

// Registered-parameter state of one channel.
struct RpnState {
    int32_t high = -1;
    int32_t low = -1;
    double range = 2.0;
};

template <typename Record>
bool validSource(const Record& r, int32_t offset, int32_t sourceTrackCount, int32_t& s) {
    const int64_t source = int64_t{r.track} - offset;
    if (source < 0 || source >= sourceTrackCount) return false;
    s = static_cast<int32_t>(source);
    return true;
}

// A stable sort that leaves a list already in order alone: events come from
// the file track by track, in time order, so most lists are.
template <typename Record, typename Less>
void sortInOrder(std::vector<Record>& list, Less less) {
    if (!std::is_sorted(list.begin(), list.end(), less)) std::stable_sort(list.begin(), list.end(), less);
}

template <typename Record>
void sortByTick(std::vector<std::vector<Record>>& lists) {
    for (auto& list : lists) sortInOrder(list, [](const Record& a, const Record& b) { return a.tick < b.tick; });
}

}  // namespace

CollectedEvents collectEvents(const MidiFile& file) {
    CollectedEvents out;
    std::array<RpnState, 16> rpn{};
    for (size_t r = 0; r < file.tracks.size(); ++r) {
        const int32_t track = static_cast<int32_t>(r);
        for (const MidiEvent& e : file.tracks[r].events) {
            if (e.bytes.size() < 2) continue;
            const int32_t kind = highNibble(e);
            const int32_t channel = lowNibble(e);
            if (kind == 0xC) out.programs.push_back(ProgramChange{e.tick, channel, track, e.bytes[1]});
            if (e.bytes.size() < 3) continue;
            if (kind == 0xE) {
                const int32_t value = (e.bytes[2] & 0x7F) * 128 + (e.bytes[1] & 0x7F);
                out.bends.push_back(PitchBend{e.tick, channel, track, value});
            }
            if (kind != 0xB) continue;
            const int32_t c = e.bytes[1] & 0x7F;
            const int32_t v = e.bytes[2] & 0x7F;
            RpnState& state = rpn[static_cast<size_t>(channel)];
            if (c == 101) {
                state.high = v;
            } else if (c == 100) {
                state.low = v;
            } else if (state.high == 0 && state.low == 0 && (c == 6 || c == 38)) {
                state.range = c == 6 ? static_cast<double>(v) : std::floor(state.range) + v / 100.0;
                out.ranges.push_back(BendRange{e.tick, channel, track, state.range});
            }
            out.controllers.push_back(ControlChange{e.tick, channel, track, c, v});
        }
    }

    sortInOrder(out.programs, [](const ProgramChange& a, const ProgramChange& b) {
        if (a.track != b.track) return a.track < b.track;
        if (a.tick != b.tick) return a.tick < b.tick;
        return a.channel < b.channel;
    });
    sortInOrder(out.bends, [](const PitchBend& a, const PitchBend& b) {
        if (a.track != b.track) return a.track < b.track;
        return a.tick < b.tick;
    });
    sortInOrder(out.ranges, [](const BendRange& a, const BendRange& b) {
        if (a.track != b.track) return a.track < b.track;
        return a.tick < b.tick;
    });
    sortInOrder(out.controllers, [](const ControlChange& a, const ControlChange& b) {
        if (a.track != b.track) return a.track < b.track;
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.controller != b.controller) return a.controller < b.controller;
        return a.channel < b.channel;
    });
    return out;
}

SourceTrackEvents distributeEvents(const CollectedEvents& events, int32_t conductorOffset, int32_t sourceTrackCount) {
    SourceTrackEvents out;
    const size_t count = static_cast<size_t>(std::max(sourceTrackCount, 0));
    out.programs.resize(count);
    out.bends.resize(count);
    out.ranges.resize(count);
    out.modulation.resize(count);
    out.cc12.resize(count);
    int32_t s = 0;
    for (ProgramChange p : events.programs) {
        if (!validSource(p, conductorOffset, sourceTrackCount, s)) continue;
        p.track = s;
        out.programs[static_cast<size_t>(s)].push_back(p);
    }
    for (PitchBend b : events.bends) {
        if (!validSource(b, conductorOffset, sourceTrackCount, s)) continue;
        b.track = s;
        out.bends[static_cast<size_t>(s)].push_back(b);
    }
    for (BendRange r : events.ranges) {
        if (!validSource(r, conductorOffset, sourceTrackCount, s)) continue;
        r.track = s;
        out.ranges[static_cast<size_t>(s)].push_back(r);
    }
    for (ControlChange c : events.controllers) {
        if (c.controller != 1 && c.controller != 12) continue;
        if (!validSource(c, conductorOffset, sourceTrackCount, s)) continue;
        c.track = s;
        (c.controller == 1 ? out.modulation : out.cc12)[static_cast<size_t>(s)].push_back(c);
    }
    sortByTick(out.programs);
    sortByTick(out.modulation);
    sortByTick(out.cc12);
    return out;
}

}  // namespace tonequill
