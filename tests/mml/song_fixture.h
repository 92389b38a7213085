#pragma once

#include <cstdint>

#include "prep/length_table.h"
#include "prep/prepared_song.h"

namespace tonequill::testing {

// A prepared song as the earlier stages would leave it, built by hand.
// With tpqn equal to timebase, MIDI ticks are MML ticks.
inline PreparedSong makeSong(int32_t outputTrackCount, int32_t timebase = 48, int32_t tpqn = 48) {
    PreparedSong song;
    song.tpqn = tpqn;
    song.initialBpm = 120;
    song.timebase = timebase;
    song.wholeNoteTicks = 4 * timebase;
    song.tickScale = static_cast<double>(timebase) / tpqn;
    song.outputTrackCount = outputTrackCount;
    song.trackNotes.resize(static_cast<std::size_t>(outputTrackCount));
    song.lengthTable = buildLengthTable(timebase);
    return song;
}

inline PreparedNote makeNote(int32_t note, int32_t start, int32_t end, int32_t velocity = 127, int32_t program = 0,
                             int32_t envelopeIndex = -1) {
    PreparedNote n;
    n.note = note;
    n.startTick = start;
    n.endTick = end;
    n.velocity = velocity;
    n.program = program;
    n.envelopeIndex = envelopeIndex;
    return n;
}

inline void addNote(PreparedSong& song, int32_t index, const PreparedNote& note) {
    song.trackNotes[static_cast<std::size_t>(index)].push_back(static_cast<int32_t>(song.notes.size()));
    song.notes.push_back(note);
}

inline void addCombo(PreparedSong& song, int32_t voice, int32_t level, int32_t trackNumber) {
    song.comboIndex.emplace(ComboKey{voice, level, trackNumber}, static_cast<int32_t>(song.combos.size()));
    song.combos.push_back(Combination{voice, level, trackNumber});
    song.usedVoices.insert(voice);
}

}  // namespace tonequill::testing
