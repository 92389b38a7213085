#include "prep/chords.h"

#include <algorithm>
#include <span>

namespace tonequill {
namespace {

// `pitches` is storage reused from chord to chord.
PreparedNote chordRecord(const std::vector<const PreparedNote*>& group, int32_t groupStart, int32_t groupEnd,
                         std::vector<int32_t>& pitches) {
    const PreparedNote* base = group.front();
    int32_t velocity = base->velocity;
    pitches.clear();
    for (const PreparedNote* n : group) {
        if (n->note < base->note) base = n;
        velocity = std::max(velocity, n->velocity);
        pitches.push_back(n->note);
    }
    if (!std::is_sorted(pitches.begin(), pitches.end())) std::stable_sort(pitches.begin(), pitches.end());
    pitches.erase(std::unique(pitches.begin(), pitches.end()), pitches.end());

    PreparedNote chord = *base;
    chord.startTick = groupStart;
    chord.endTick = groupEnd;
    chord.velocity = velocity;
    chord.isChord = true;
    for (int32_t& p : pitches) p -= base->note;
    chord.chordIntervals = ChordIntervals(std::span<const int32_t>(pitches));
    return chord;
}

}  // namespace

int32_t chordThreshold(int32_t tpqn) { return std::max(tpqn / 8, 1); }

BulkList<PreparedNote> groupChords(const BulkList<PreparedNote>& arbitrated, const std::vector<int32_t>& members,
                                      int32_t outputIndex, int32_t threshold, PrepObserver* observer,
                                      int32_t firstPosition) {
    BulkList<PreparedNote> records;
    if (members.empty()) return records;
    records.reserve(members.size());  // a record per group, a group per note at most
    const bool chordMode = outputIndex != 3 && outputIndex != 4;

    std::vector<const PreparedNote*> ordered;
    ordered.reserve(members.size());
    for (int32_t k : members) ordered.push_back(&arbitrated[static_cast<size_t>(k)]);
    auto earlier = [](const PreparedNote* a, const PreparedNote* b) {
        if (a->startTick != b->startTick) return a->startTick < b->startTick;
        return a->endTick < b->endTick;
    };
    // Arbitration leaves the notes in this order unless two source tracks share the output track.
    if (!std::is_sorted(ordered.begin(), ordered.end(), earlier)) std::stable_sort(ordered.begin(), ordered.end(), earlier);

    std::vector<const PreparedNote*> group;
    std::vector<int32_t> pitches;
    for (size_t i = 0; i < ordered.size();) {
        const int32_t groupStart = ordered[i]->startTick;
        int32_t groupEnd = ordered[i]->endTick;
        group.assign(1, ordered[i]);
        for (++i; i < ordered.size(); ++i) {
            const PreparedNote& n = *ordered[i];
            const int64_t sinceStart = int64_t{n.startTick} - groupStart;
            if (sinceStart > threshold || n.startTick >= groupEnd) break;
            group.push_back(&n);
            groupEnd = std::max(groupEnd, n.endTick);
        }
        if (chordMode && group.size() >= 2) {
            records.push_back(chordRecord(group, groupStart, groupEnd, pitches));
        } else {
            records.push_back(*group.back());
        }
        if (observer) {
            std::vector<int32_t> positions;
            for (const PreparedNote* n : group) {
                positions.push_back(firstPosition + static_cast<int32_t>(n - arbitrated.data()));
            }
            observer->notesGrouped(outputIndex, positions, chordMode && group.size() >= 2, records.back());
        }
    }

    // A track plays one thing at a time: each record ends where the next begins.
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        if (records[i].endTick > records[i + 1].startTick) {
            if (observer) observer->overlapCut(outputIndex, records[i], records[i + 1].startTick);
            records[i].endTick = records[i + 1].startTick;
        }
    }
    const auto kept = std::remove_if(records.begin(), records.end(),
                                     [&](const PreparedNote& n) {
                                         if (n.endTick > n.startTick) return false;
                                         if (observer) observer->emptyRecordDropped(outputIndex, n);
                                         return true;
                                     });
    records.erase(kept, records.end());
    return records;
}

}  // namespace tonequill
