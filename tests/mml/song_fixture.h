#pragma once

#include <cstdint>

#include "common/combination.h"
#include "common/envelope_table.h"
#include "common/prepared_song.h"
#include "prep/length_table.h"

namespace tonequill::testing {

// What the writer reads, built by hand: a prepared song as the earlier
// stages would leave it, with its envelope table and combinations. With
// tpqn equal to timebase, MIDI ticks are MML ticks.
struct TestSong : PreparedSong {
    EnvelopeTable envelopes;
    ComboTable combos;
};

// A note and the envelope record it plays (-1: none).
struct TestNote : PreparedNote {
    int32_t envelope = -1;
};

inline TestSong makeSong(int32_t outputTrackCount, int32_t timebase = 48, int32_t tpqn = 48) {
    TestSong song;
    song.tpqn = tpqn;
    song.initialBpm = 120;
    song.timebase = timebase;
    song.wholeNoteTicks = 4 * timebase;
    song.tickScale = static_cast<double>(timebase) / tpqn;
    song.outputTrackCount = outputTrackCount;
    song.trackNotes.resize(static_cast<std::size_t>(outputTrackCount));
    song.lengthTable = buildLengthTable(timebase);
    song.tempoEvents = {{0, 500000.0}};
    return song;
}

inline TestNote makeNote(int32_t note, int32_t start, int32_t end, int32_t velocity = 127, int32_t program = 0,
                         int32_t envelope = -1) {
    TestNote n;
    n.note = note;
    n.startTick = start;
    n.endTick = end;
    n.velocity = velocity;
    n.program = program;
    n.envelope = envelope;
    return n;
}

inline void addNote(TestSong& song, int32_t index, const TestNote& note) {
    song.trackNotes[static_cast<std::size_t>(index)].push_back(static_cast<int32_t>(song.notes.size()));
    song.notes.push_back(note);
    song.envelopes.noteRecords.push_back(note.envelope);
}

inline void addCombo(TestSong& song, int32_t voice, int32_t level, int32_t trackNumber) {
    song.combos.index.emplace(ComboKey{voice, level, trackNumber}, static_cast<int32_t>(song.combos.list.size()));
    song.combos.list.push_back(Combination{voice, level, trackNumber});
    song.combos.usedVoices.insert(voice);
}

}  // namespace tonequill::testing
