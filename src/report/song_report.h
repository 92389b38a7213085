#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "common/prepared_song.h"
#include "report/decision_recorder.h"

namespace tonequill {

// What became of a note of the file, as a musician would put it.
enum class Fate { unchanged, cut, merged, dropped };

// Why, by the first decision that settled its fate.
enum class Reason {
    none,
    lostTime,        // cut: part of its time went to another source track
    cutByNext,       // cut: it stops where the next note or chord starts
    partDropped,     // cut: a part of it did not reach the output
    chord,           // merged: it sounds as part of a chord
    neverReleased,   // dropped: its note-on has no note-off
    zeroLength,      // dropped: note-on and note-off at the same tick
    lostWhole,       // dropped: another source track had all of its time
    droppedInGroup,  // dropped: only one note of a group stays on TR4 and TR5
    cutToNothing,    // dropped: the next record starts where it starts
    belowGrid,       // dropped: start and end round to the same MML tick
    noSourceTrack,   // dropped: it lies on the conductor track
};

const char* fateName(Fate fate);
const char* reasonText(Reason reason);

struct Span {
    int32_t start = 0;
    int32_t end = 0;
};

// One note of the file, from its note-on to what reaches the output.
struct NoteStory {
    int32_t sourceTrack = -1;
    int32_t outputIndex = -1;
    int32_t channel = 0;
    int32_t note = 0;
    int32_t startTick = 0;
    int32_t endTick = 0;  // equal to startTick for a note-on never released
    int32_t velocity = 0;
    Fate fate = Fate::unchanged;
    Reason reason = Reason::none;
    std::vector<Span> sounding;  // MIDI tick spans that reach the output
};

enum class DecisionKind {
    sliceLost,     // `notes`: the loser; `otherTrack` had the slice
    chordFormed,   // `notes`: the members; `record`: the chord
    groupDropped,  // `notes`: the dropped members; `keptNote` stays
    overlapCut,    // `notes`: the record's notes; ends at `newEnd` instead of `endTick`
    emptyDropped,  // `notes`: the record's notes
    belowGrid,     // `notes`: the record's notes; `record`: as written
    zeroLength,    // `notes`: the note
    unreleased,    // `notes`: the note-on
    strayNoteOff,  // `pitch`, `channel`, `sourceTrack`
};

struct Decision {
    DecisionKind kind = DecisionKind::sliceLost;
    int32_t outputIndex = -1;
    int32_t tick = 0;
    int32_t endTick = 0;
    std::vector<int32_t> notes;  // indices in SongReport::notes
    int32_t keptNote = -1;
    int32_t otherTrack = -1;
    int32_t newEnd = 0;
    PreparedNote record;
    int32_t pitch = 0;
    int32_t channel = 0;
    int32_t sourceTrack = -1;
};

struct SongReport {
    std::vector<NoteStory> notes;
    std::vector<Decision> decisions;  // by output track, then by tick
    int32_t strayNoteOffs = 0;
    int32_t conductorOffset = 0;
    int32_t chordsFormed = 0;
};

// Follows every note of the file through the decisions the recorder heard,
// and the final song, to its fate.
SongReport buildSongReport(const DecisionRecorder& recorder, const PreparedSong& song);

}  // namespace tonequill
