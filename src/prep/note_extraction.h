#pragma once

#include <cstdint>
#include <vector>

#include "midi/midi_file.h"
#include "prep/prep_observer.h"
#include "common/prepared_song.h"

namespace tonequill {

// Pairs every note-on with its note-off, per raw track and channel; the most
// recent pending note-on of a pitch is ended first. `track` holds the raw
// track index. Ordered by (track, startTick, endTick). An observer hears of
// note-ons never released and note-offs without a note-on, track by track;
// without one, the tracks of a large file are paired side by side.
BulkList<PreparedNote> pairNotes(const MidiFile& file, PrepObserver* observer = nullptr);

// Lets one source track sound at a time on an output track. The time line is
// cut at every start and end of the members (positions in `routed`); each
// slice goes to the lowest-numbered sounding home track, else to the
// lowest-numbered sounding track, and all of the winner's sounding notes keep
// that slice. Notes losing part of their time come out in pieces. Ordered by
// (startTick, track, endTick). An observer hears of every slice a note loses
// and where each piece came from.
BulkList<PreparedNote> arbitrateTrack(const BulkList<PreparedNote>& routed, const std::vector<int32_t>& members,
                                         int32_t sourceTrackCount, const std::vector<bool>& homeTrack,
                                         PrepObserver* observer = nullptr);
// True when arbitration would keep the members as they are, in their order:
// they all last, come from one source track and lie in time order.
bool arbitrationKeepsAll(const BulkList<PreparedNote>& routed, const std::vector<int32_t>& members,
                         int32_t sourceTrackCount);

// The same, appending the pieces to `into`.
void arbitrateTrack(BulkList<PreparedNote>& into, const BulkList<PreparedNote>& routed,
                    const std::vector<int32_t>& members, int32_t sourceTrackCount, const std::vector<bool>& homeTrack,
                    PrepObserver* observer = nullptr);

}  // namespace tonequill
