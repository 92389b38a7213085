#include "prep/note_extraction.h"

#include <algorithm>
#include <set>

namespace tonequill {
namespace {

struct PendingOn {
    int32_t tick = 0;
    int32_t velocity = 0;
};

// A stretch of time [start, end) in MIDI ticks.
struct Span {
    int32_t start = 0;
    int32_t end = 0;
};

// A note start (+1) or end (-1) of one source track, for the sweep.
struct Edge {
    int32_t tick = 0;
    int32_t track = 0;
    int32_t delta = 0;
};

}  // namespace

std::vector<PreparedNote> pairNotes(const MidiFile& file) {
    std::vector<PreparedNote> notes;
    // One stack of pending note-ons per (channel, note byte), reused across
    // tracks; only the stacks a track touched are cleared after it.
    constexpr size_t kNotesPerChannel = 256;
    std::vector<std::vector<PendingOn>> pending(16 * kNotesPerChannel);
    std::vector<size_t> touched;
    for (size_t r = 0; r < file.tracks.size(); ++r) {
        for (const MidiEvent& e : file.tracks[r].events) {
            if (e.bytes.size() < 3) continue;
            const int32_t kind = e.bytes[0] >> 4;
            if (kind != 0x8 && kind != 0x9) continue;
            const int32_t channel = e.bytes[0] & 0x0F;
            const int32_t note = e.bytes[1];
            const int32_t velocity = e.bytes[2];
            auto& stack = pending[static_cast<size_t>(channel) * kNotesPerChannel + static_cast<size_t>(note)];
            if (kind == 0x9 && velocity > 0) {
                if (stack.empty()) touched.push_back(static_cast<size_t>(channel) * kNotesPerChannel + note);
                stack.push_back(PendingOn{e.tick, velocity});
                continue;
            }
            if (stack.empty()) continue;  // a note-off without a pending note-on
            const PendingOn on = stack.back();
            stack.pop_back();
            PreparedNote n;
            n.note = note;
            n.channel = channel;
            n.track = static_cast<int32_t>(r);
            n.startTick = on.tick;
            n.endTick = e.tick;
            n.velocity = on.velocity;
            notes.push_back(std::move(n));
        }
        // Note-ons never released are dropped with their track.
        for (size_t key : touched) pending[key].clear();
        touched.clear();
    }
    std::stable_sort(notes.begin(), notes.end(), [](const PreparedNote& a, const PreparedNote& b) {
        if (a.track != b.track) return a.track < b.track;
        if (a.startTick != b.startTick) return a.startTick < b.startTick;
        return a.endTick < b.endTick;
    });
    return notes;
}

std::vector<PreparedNote> arbitrateTrack(const std::vector<PreparedNote>& routed, const std::vector<int32_t>& members,
                                         int32_t sourceTrackCount, const std::vector<bool>& homeTrack) {
    std::vector<PreparedNote> result;
    if (members.empty()) return result;

    // Every start and end of a member that lasts, by tick.
    // Members of no source track, and members that do not last, take no part.
    const size_t trackSlots = static_cast<size_t>(std::max(sourceTrackCount, 0));
    auto takesPart = [&](const PreparedNote& n) {
        return n.startTick < n.endTick && n.track >= 0 && n.track < sourceTrackCount;
    };
    std::vector<Edge> edges;
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (!takesPart(n)) continue;
        edges.push_back(Edge{n.startTick, n.track, +1});
        edges.push_back(Edge{n.endTick, n.track, -1});
    }
    std::stable_sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.tick < b.tick; });

    auto isHome = [&](int32_t track) {
        return static_cast<size_t>(track) < homeTrack.size() && homeTrack[static_cast<size_t>(track)];
    };

    // Sweep the slices between consecutive distinct ticks. A source track
    // sounds while it has a note in flight; the slice goes to the lowest
    // sounding home track, else to the lowest sounding track. The slices each
    // track wins are kept as merged spans.
    std::vector<int32_t> sounding(trackSlots, 0);
    std::set<int32_t> soundingTracks;
    std::set<int32_t> soundingHomeTracks;
    std::vector<std::vector<Span>> won(trackSlots);
    for (size_t i = 0; i < edges.size();) {
        const int32_t t = edges[i].tick;
        for (; i < edges.size() && edges[i].tick == t; ++i) {
            const int32_t track = edges[i].track;
            int32_t& count = sounding[static_cast<size_t>(track)];
            const bool wasSounding = count > 0;
            count += edges[i].delta;
            if (wasSounding == (count > 0)) continue;
            if (count > 0) {
                soundingTracks.insert(track);
                if (isHome(track)) soundingHomeTracks.insert(track);
            } else {
                soundingTracks.erase(track);
                soundingHomeTracks.erase(track);
            }
        }
        if (i >= edges.size() || soundingTracks.empty()) continue;
        const int32_t next = edges[i].tick;
        const int32_t winner = soundingHomeTracks.empty() ? *soundingTracks.begin() : *soundingHomeTracks.begin();
        auto& spans = won[static_cast<size_t>(winner)];
        if (!spans.empty() && spans.back().end == t) {
            spans.back().end = next;
        } else {
            spans.push_back(Span{t, next});
        }
    }

    // Each note keeps the parts of its own time that its track won.
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (!takesPart(n)) continue;
        const auto& spans = won[static_cast<size_t>(n.track)];
        auto it = std::upper_bound(spans.begin(), spans.end(), n.startTick,
                                   [](int32_t tick, const Span& s) { return tick < s.end; });
        for (; it != spans.end() && it->start < n.endTick; ++it) {
            PreparedNote piece = n;
            piece.startTick = std::max(n.startTick, it->start);
            piece.endTick = std::min(n.endTick, it->end);
            result.push_back(std::move(piece));
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const PreparedNote& a, const PreparedNote& b) {
        if (a.startTick != b.startTick) return a.startTick < b.startTick;
        if (a.track != b.track) return a.track < b.track;
        return a.endTick < b.endTick;
    });
    return result;
}

}  // namespace tonequill
