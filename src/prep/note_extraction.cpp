#include "prep/note_extraction.h"

#include <algorithm>
#include <numeric>
#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <span>

#include "prep/sort_by_key.h"
#include "prep/track_set.h"

namespace tonequill {
namespace {

constexpr uint32_t kNoPending = UINT32_MAX;

struct PendingOn {
    int32_t tick = 0;
    int32_t velocity = 0;
    size_t place = 0;        // the note's place among its track's notes
    uint32_t below = kNoPending;  // the note-on pending under it on the same channel and note
};

// The note-ons still waiting for their note-off, one stack per channel and
// note byte. The stacks live in one pool, each entry linked to the one below
// it, and a small table holds the top of each: a song's few thousand notes
// touch a few kilobytes, not a list per key.
class PendingOns {
public:
    static constexpr size_t kNotesPerChannel = 256;
    static constexpr size_t kKeys = 16 * kNotesPerChannel;

    explicit PendingOns(size_t noteOns) { pool_.reserve(noteOns); }

    static size_t keyOf(int32_t channel, int32_t note) {
        return static_cast<size_t>(channel) * kNotesPerChannel + static_cast<size_t>(note);
    }
    [[nodiscard]] bool empty(size_t key) const { return top_[key] == kNoPending; }
    void push(size_t key, PendingOn on) {
        on.below = top_[key];
        top_[key] = static_cast<uint32_t>(pool_.size());
        pool_.push_back(on);
    }
    PendingOn pop(size_t key) {
        const PendingOn on = pool_[top_[key]];
        top_[key] = on.below;
        return on;
    }
    // The note-ons still pending on `key`, the earliest first.
    [[nodiscard]] std::vector<PendingOn> left(size_t key) const {
        std::vector<PendingOn> ons;
        for (uint32_t i = top_[key]; i != kNoPending; i = pool_[i].below) ons.push_back(pool_[i]);
        std::reverse(ons.begin(), ons.end());
        return ons;
    }

private:
    std::array<uint32_t, kKeys> top_ = filledTops();
    std::vector<PendingOn> pool_;

    static std::array<uint32_t, kKeys> filledTops() {
        std::array<uint32_t, kKeys> tops{};
        tops.fill(kNoPending);
        return tops;
    }
};

// Drops the notes that were never released and puts the rest in order of
// start, end and note-off, at the front of `notes`; returns how many there
// are. They lie in order of their note-ons, which is the order of their starts.
size_t orderTrackNotes(std::span<PreparedNote> notes, std::vector<uint32_t>& releasedAs, uint32_t unreleased) {
    size_t kept = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        const uint32_t rank = releasedAs[i];
        if (rank == unreleased) continue;
        releasedAs[kept] = rank;
        if (kept != i) notes[kept] = std::move(notes[i]);
        ++kept;
    }
    notes = notes.first(kept);
    releasedAs.resize(kept);

    auto key = [&](size_t i) { return std::array<int64_t, 3>{notes[i].startTick, notes[i].endTick, releasedAs[i]}; };
    // Sorts notes [from, to) by their keys.
    std::vector<size_t> order;
    BulkList<PreparedNote> sorted;
    auto sortRange = [&](size_t from, size_t to) {
        order.resize(to - from);
        for (size_t i = 0; i < order.size(); ++i) order[i] = from + i;
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return key(x) < key(y); });
        sorted.clear();
        for (const size_t i : order) sorted.push_back(std::move(notes[i]));
        std::move(sorted.begin(), sorted.end(), notes.begin() + static_cast<std::ptrdiff_t>(from));
    };
    auto startsEarlier = [](const PreparedNote& x, const PreparedNote& y) { return x.startTick < y.startTick; };
    const bool startsInOrder = std::is_sorted(notes.begin(), notes.end(), startsEarlier);
    if (!startsInOrder) {  // a track whose ticks go back: not from a file read here
        sortRange(0, notes.size());
        return kept;
    }
    // Notes that start together (a chord) may end, or be released, in another order.
    for (size_t from = 0; from < notes.size();) {
        size_t to = from + 1;
        bool ordered = true;
        for (; to < notes.size() && notes[to].startTick == notes[from].startTick; ++to) {
            ordered = ordered && key(to - 1) < key(to);
        }
        if (!ordered) sortRange(from, to);
        from = to;
    }
    return kept;
}


size_t countNoteOns(const MidiTrack& track) {
    return static_cast<size_t>(
        std::count_if(track.notes.begin(), track.notes.end(), [](const NoteEvent& e) { return e.on; }));
}

// Pairs the notes of raw track `rawTrack` into `notes`, which holds a place
// for each of the track's note-ons, and returns how many notes it made: they
// fill the first places, by start and end, and notes alike in both in the
// order of their note-offs. A track's events lie in time order, so a note is
// given its place at its note-on and its end at its note-off: only notes that
// start together may still need reordering.
size_t pairTrack(const MidiTrack& track, int32_t rawTrack, std::span<PreparedNote> notes, PrepObserver* observer) {
    constexpr uint32_t kUnreleased = UINT32_MAX;
    std::vector<uint32_t> releasedAs;  // per note: its note-off's rank, or kUnreleased
    releasedAs.reserve(notes.size());
    uint32_t released = 0;
    size_t made = 0;

    auto pending = std::make_unique<PendingOns>(notes.size());
    std::vector<size_t> touched;  // for an observer: the stacks in the order they were filled
    for (const NoteEvent& e : track.notes) {
        const int32_t channel = e.channel;
        const int32_t note = e.note;
        const int32_t velocity = e.velocity;
        const size_t key = PendingOns::keyOf(channel, note);
        if (e.on) {
            if (observer && pending->empty(key)) touched.push_back(key);
            pending->push(key, PendingOn{e.tick, velocity, made});
            PreparedNote& n = notes[made++];
            n.note = note;
            n.channel = channel;
            n.track = rawTrack;
            n.startTick = e.tick;
            n.velocity = velocity;
            releasedAs.push_back(kUnreleased);
            continue;
        }
        if (pending->empty(key)) {  // a note-off without a pending note-on
            if (observer) observer->unmatchedNoteOff(rawTrack, channel, note, e.tick);
            continue;
        }
        const PendingOn on = pending->pop(key);
        notes[on.place].endTick = e.tick;
        releasedAs[on.place] = released++;
    }
    // Note-ons never released are dropped.
    if (observer) {
        for (size_t key : touched) {
            for (const PendingOn& on : pending->left(key)) {
                observer->unreleasedNoteOn(rawTrack, static_cast<int32_t>(key / PendingOns::kNotesPerChannel),
                                           static_cast<int32_t>(key % PendingOns::kNotesPerChannel), on.tick,
                                           on.velocity);
            }
            while (!pending->empty(key)) pending->pop(key);
        }
    }
    return orderTrackNotes(notes.first(made), releasedAs, kUnreleased);
}

// A stretch of time [start, end) in MIDI ticks.
struct Span {
    int32_t start = 0;
    int32_t end = 0;
};

// A note start (+1) or end (-1) of one source track, for the sweep, packed
// into one number that sorts by tick first: the tick (lifted to unsigned)
// above the track above the kind.
struct Edge {
    uint64_t packed = 0;

    static Edge start(int32_t tick, int32_t track) { return Edge{pack(tick, track, 1)}; }
    static Edge end(int32_t tick, int32_t track) { return Edge{pack(tick, track, 0)}; }
    [[nodiscard]] int32_t tick() const {
        return static_cast<int32_t>(static_cast<int64_t>(packed >> 32) + std::numeric_limits<int32_t>::min());
    }
    [[nodiscard]] int32_t track() const { return static_cast<int32_t>((packed >> 1) & 0x7FFFFFFF); }
    [[nodiscard]] int32_t delta() const { return (packed & 1) != 0 ? +1 : -1; }
    bool operator<(const Edge& other) const { return packed < other.packed; }

private:
    static uint64_t pack(int32_t tick, int32_t track, uint64_t isStart) {
        const auto lifted = static_cast<uint64_t>(static_cast<int64_t>(tick) - std::numeric_limits<int32_t>::min());
        return lifted << 32 | static_cast<uint64_t>(static_cast<uint32_t>(track)) << 1 | isStart;
    }
};

// A slice of an output track's time line and the source track that has it.
struct Slice {
    int32_t start = 0;
    int32_t end = 0;
    int32_t winner = 0;
};

// Tells the observer, per note, each stretch of its time that another source
// track had (neighbouring slices of one winner reported as one).
void reportLostSlices(const BulkList<PreparedNote>& routed, const std::vector<int32_t>& members,
                      int32_t sourceTrackCount, const std::vector<Slice>& slices, PrepObserver& observer) {
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (n.startTick >= n.endTick || n.track < 0 || n.track >= sourceTrackCount) continue;
        auto it = std::upper_bound(slices.begin(), slices.end(), n.startTick,
                                   [](int32_t tick, const Slice& s) { return tick < s.end; });
        Slice lost{0, 0, -1};
        for (; it != slices.end() && it->start < n.endTick; ++it) {
            if (it->winner == n.track) continue;
            if (lost.winner == it->winner && lost.end == it->start) {
                lost.end = it->end;
                continue;
            }
            if (lost.winner >= 0) observer.sliceLost(k, lost.start, lost.end, lost.winner);
            lost = *it;
        }
        if (lost.winner >= 0) observer.sliceLost(k, lost.start, lost.end, lost.winner);
    }
}

// Where each record of the result came from, in the order the result is
// about to be sorted into (the same stable sort on the same keys).
template <typename Before>
std::vector<int32_t> originsInSortedOrder(std::span<const PreparedNote> result, const std::vector<int32_t>& origins,
                                          Before before) {
    std::vector<size_t> order(result.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return before(result[a], result[b]); });
    std::vector<int32_t> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(origins[i]);
    return sorted;
}

}  // namespace

BulkList<PreparedNote> pairNotes(const MidiFile& file, PrepObserver* observer) {
    // Room for every note-on, made once; each track's notes follow the last
    // track's, and the places of note-ons never released are dropped as it goes.
    std::vector<size_t> noteOns(file.tracks.size());
    for (size_t r = 0; r < file.tracks.size(); ++r) noteOns[r] = countNoteOns(file.tracks[r]);
    BulkList<PreparedNote> notes(std::accumulate(noteOns.begin(), noteOns.end(), size_t{0}));
    size_t end = 0;
    for (size_t r = 0; r < file.tracks.size(); ++r) {
        end += pairTrack(file.tracks[r], static_cast<int32_t>(r), std::span(notes.data() + end, noteOns[r]), observer);
    }
    notes.resize(end);
    return notes;
}

bool arbitrationKeepsAll(const BulkList<PreparedNote>& routed, const std::vector<int32_t>& members,
                         int32_t sourceTrackCount) {
    const PreparedNote* previous = nullptr;
    for (const int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (n.startTick >= n.endTick || n.track < 0 || n.track >= sourceTrackCount) return false;
        if (previous && (n.track != previous->track || std::pair(n.startTick, n.endTick) <
                                                           std::pair(previous->startTick, previous->endTick))) {
            return false;
        }
        previous = &n;
    }
    return true;
}

BulkList<PreparedNote> arbitrateTrack(const BulkList<PreparedNote>& routed, const std::vector<int32_t>& members,
                                         int32_t sourceTrackCount, const std::vector<bool>& homeTrack,
                                         PrepObserver* observer) {
    BulkList<PreparedNote> result;
    arbitrateTrack(result, routed, members, sourceTrackCount, homeTrack, observer);
    return result;
}

void arbitrateTrack(BulkList<PreparedNote>& result, const BulkList<PreparedNote>& routed,
                    const std::vector<int32_t>& members, int32_t sourceTrackCount, const std::vector<bool>& homeTrack,
                    PrepObserver* observer) {
    const size_t first = result.size();
    if (members.empty()) return;

    // Every start and end of a member that lasts, by tick.
    // Members of no source track, and members that do not last, take no part.
    const size_t trackSlots = static_cast<size_t>(std::max(sourceTrackCount, 0));
    auto takesPart = [&](const PreparedNote& n) {
        return n.startTick < n.endTick && n.track >= 0 && n.track < sourceTrackCount;
    };
    auto byStartTrackEnd = [](const PreparedNote& n) { return std::array<int32_t, 3>{n.startTick, n.track, n.endTick}; };

    // One source track alone wins all of its own time: every note that takes
    // part is kept whole, and the sweep below would only find that again.
    if (observer == nullptr) {
        int32_t only = -1;
        bool single = true;
        for (int32_t k : members) {
            const PreparedNote& n = routed[static_cast<size_t>(k)];
            if (!takesPart(n)) continue;
            if (only < 0) only = n.track;
            if (n.track != only) {
                single = false;
                break;
            }
        }
        if (single) {
            result.reserve(first + members.size());
            for (int32_t k : members) {
                const PreparedNote& n = routed[static_cast<size_t>(k)];
                if (takesPart(n)) result.push_back(n);
            }
            stableSortByKey<PreparedNote, 3>(result, byStartTrackEnd, first);
            return;
        }
    }

    std::vector<Edge> edges;
    edges.reserve(2 * members.size());
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (!takesPart(n)) continue;
        edges.push_back(Edge::start(n.startTick, n.track));
        edges.push_back(Edge::end(n.endTick, n.track));
    }
    // By tick (the edges of one tick all count before the next slice, in any order).
    std::stable_sort(edges.begin(), edges.end());

    auto isHome = [&](int32_t track) {
        return static_cast<size_t>(track) < homeTrack.size() && homeTrack[static_cast<size_t>(track)];
    };

    // Sweep the slices between consecutive distinct ticks. A source track
    // sounds while it has a note in flight; the slice goes to the lowest
    // sounding home track, else to the lowest sounding track. The slices each
    // track wins are kept as merged spans.
    std::vector<int32_t> sounding(trackSlots, 0);
    TrackSet soundingTracks(trackSlots);
    TrackSet soundingHomeTracks(trackSlots);
    std::vector<std::vector<Span>> won(trackSlots);
    std::vector<Slice> slices;  // kept only for an observer
    for (size_t i = 0; i < edges.size();) {
        const int32_t t = edges[i].tick();
        for (; i < edges.size() && edges[i].tick() == t; ++i) {
            const int32_t track = edges[i].track();
            int32_t& count = sounding[static_cast<size_t>(track)];
            const bool wasSounding = count > 0;
            count += edges[i].delta();
            if (wasSounding == (count > 0)) continue;
            if (count > 0) {
                soundingTracks.insert(track);
                if (isHome(track)) soundingHomeTracks.insert(track);
            } else {
                soundingTracks.erase(track);
                soundingHomeTracks.erase(track);
            }
        }
        const int32_t lowestHome = soundingHomeTracks.lowest();
        const int32_t winner = lowestHome >= 0 ? lowestHome : soundingTracks.lowest();
        if (i >= edges.size() || winner < 0) continue;
        const int32_t next = edges[i].tick();
        if (observer) slices.push_back(Slice{t, next, winner});
        auto& spans = won[static_cast<size_t>(winner)];
        if (!spans.empty() && spans.back().end == t) {
            spans.back().end = next;
        } else {
            spans.push_back(Span{t, next});
        }
    }

    if (observer) reportLostSlices(routed, members, sourceTrackCount, slices, *observer);

    // Each note keeps the parts of its own time that its track won. Members
    // mostly come in time order per track: the first span that ends after a
    // note's start is then found by moving on from the last note's.
    result.reserve(first + members.size());  // most notes come out whole or not at all
    std::vector<int32_t> origins;  // kept only for an observer
    std::vector<size_t> firstSpan(trackSlots, 0);
    std::vector<int32_t> lastStart(trackSlots, std::numeric_limits<int32_t>::min());
    for (int32_t k : members) {
        const PreparedNote& n = routed[static_cast<size_t>(k)];
        if (!takesPart(n)) continue;
        const auto track = static_cast<size_t>(n.track);
        const auto& spans = won[track];
        size_t& at = firstSpan[track];
        if (n.startTick < lastStart[track]) {
            at = static_cast<size_t>(std::upper_bound(spans.begin(), spans.end(), n.startTick,
                                                      [](int32_t tick, const Span& s) { return tick < s.end; }) -
                                     spans.begin());
        }
        lastStart[track] = n.startTick;
        while (at < spans.size() && spans[at].end <= n.startTick) ++at;
        auto it = spans.begin() + static_cast<std::ptrdiff_t>(at);
        for (; it != spans.end() && it->start < n.endTick; ++it) {
            PreparedNote piece = n;
            piece.startTick = std::max(n.startTick, it->start);
            piece.endTick = std::min(n.endTick, it->end);
            result.push_back(std::move(piece));
            if (observer) origins.push_back(k);
        }
    }
    auto before = [](const PreparedNote& a, const PreparedNote& b) {
        if (a.startTick != b.startTick) return a.startTick < b.startTick;
        if (a.track != b.track) return a.track < b.track;
        return a.endTick < b.endTick;
    };
    const auto begin = result.begin() + static_cast<std::ptrdiff_t>(first);
    if (observer) origins = originsInSortedOrder(std::span<const PreparedNote>(result.data() + first, result.size() - first), origins, before);
    stableSortByKey<PreparedNote, 3>(result, byStartTrackEnd, first);  // the order of `before`
    if (observer) observer->piecesKept(BulkList<PreparedNote>(begin, result.end()), origins);
}

}  // namespace tonequill
