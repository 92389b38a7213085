#pragma once

#include <cstdint>
#include <vector>

#include "common/prepared_song.h"

namespace tonequill {

// Hears the decisions that song preparation makes about notes, for tools that
// explain a conversion. The converter passes none: every stage takes it as an
// optional pointer and, without one, does exactly what it does anyway. Every
// method does nothing unless overridden.
class PrepObserver {
public:
    virtual ~PrepObserver() = default;

    // Pairing, per raw track (`rawTrack` counts the conductor track too).
    // A note-on still pending when its track ends; it makes no note.
    virtual void unreleasedNoteOn(int32_t /*rawTrack*/, int32_t /*channel*/, int32_t /*note*/, int32_t /*tick*/,
                                  int32_t /*velocity*/) {}
    // A note-off (or note-on of velocity 0) with no pending note-on; ignored.
    virtual void unmatchedNoteOff(int32_t /*rawTrack*/, int32_t /*channel*/, int32_t /*note*/, int32_t /*tick*/) {}

    // Routing: every paired note that reached a source track (`track` is the
    // source track index), and per output track the positions of its notes
    // in `routed`. `rawNoteCount` counts the paired notes before routing.
    virtual void notesRouted(const BulkList<PreparedNote>& /*routed*/,
                             const std::vector<std::vector<int32_t>>& /*membersByOutput*/, int32_t /*rawNoteCount*/,
                             int32_t /*conductorOffset*/) {}

    // Arbitration: the note at `routedPosition` does not sound from `start`
    // to `end` (MIDI ticks) because source track `winnerTrack` has that slice.
    virtual void sliceLost(int32_t /*routedPosition*/, int32_t /*start*/, int32_t /*end*/, int32_t /*winnerTrack*/) {}
    // Arbitration of one output track is done: `pieces` is its result and
    // `origins[i]` the position in `routed` of the note that piece i is (a part of).
    virtual void piecesKept(const BulkList<PreparedNote>& /*pieces*/, const std::vector<int32_t>& /*origins*/) {}

    // Chord grouping of output track `outputIndex`. `members` are the
    // positions of the group's notes in the arbitrated list, in group order.
    // When `chord` is true they became the one chord `record`; otherwise
    // `record` is the last member, kept alone, and the others are dropped.
    virtual void notesGrouped(int32_t /*outputIndex*/, const std::vector<int32_t>& /*members*/, bool /*chord*/,
                              const PreparedNote& /*record*/) {}
    // `record` (with its old end) overlaps the next record and now ends at `newEnd`.
    virtual void overlapCut(int32_t /*outputIndex*/, const PreparedNote& /*record*/, int32_t /*newEnd*/) {}
    // `record` has no length left and is dropped.
    virtual void emptyRecordDropped(int32_t /*outputIndex*/, const PreparedNote& /*record*/) {}
};

}  // namespace tonequill
