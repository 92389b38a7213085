#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "envelope/assign_envelopes.h"
#include "envelope/combinations.h"
#include "mapping/mapping_tables.h"
#include "common/prepared_song.h"

namespace tonequill::testing {

// A prepared song built by hand. With tpqn 60 at 60 BPM one MIDI tick is one
// frame, so note lengths read directly as frame counts.
struct SongFixture {
    PreparedSong song;
    MappingTables tables;
    EnvelopeTable envelopes;
    ComboTable combos;
    std::vector<BulkList<PitchBend>> bends;
    std::vector<BulkList<BendRange>> ranges;

    explicit SongFixture(int32_t outputTracks = 1, int32_t sourceTracks = 1) {
        song.tpqn = 60;
        song.initialBpm = 60;
        song.outputTrackCount = outputTracks;
        song.sourceTrackCount = sourceTracks;
        song.trackNotes.resize(static_cast<size_t>(outputTracks));
        song.modulationByTrack.resize(static_cast<size_t>(sourceTracks));
        song.cc12ByTrack.resize(static_cast<size_t>(sourceTracks));
        song.programsByTrack.resize(static_cast<size_t>(sourceTracks));
        bends.resize(static_cast<size_t>(sourceTracks));
        ranges.resize(static_cast<size_t>(sourceTracks));
    }

    // Adds a note from source track `source` to output track `output` (0-based); returns its index.
    int32_t add(int32_t output, int32_t source, int32_t start, int32_t end, int32_t note = 60, int32_t velocity = 100,
                int32_t program = 0) {
        PreparedNote n;
        n.track = source;
        n.startTick = start;
        n.endTick = end;
        n.note = note;
        n.velocity = velocity;
        n.program = program;
        song.notes.push_back(n);
        const auto index = static_cast<int32_t>(song.notes.size() - 1);
        song.trackNotes[static_cast<size_t>(output)].push_back(index);
        return index;
    }

    int32_t addChord(int32_t output, int32_t source, int32_t start, int32_t end, std::vector<int32_t> intervals,
                     int32_t program = 0) {
        const int32_t index = add(output, source, start, end, 60, 100, program);
        song.notes[static_cast<size_t>(index)].isChord = true;
        song.notes[static_cast<size_t>(index)].chordIntervals = std::move(intervals);
        return index;
    }

    void bend(int32_t source, int32_t tick, int32_t value) {
        bends[static_cast<size_t>(source)].push_back(PitchBend{tick, 0, static_cast<uint16_t>(value)});
    }
    void range(int32_t source, int32_t tick, double semitones) {
        ranges[static_cast<size_t>(source)].push_back(BendRange{tick, 0, source, semitones});
    }
    void modulation(int32_t source, int32_t tick, int32_t value) {
        song.modulationByTrack[static_cast<size_t>(source)].push_back(ControlChange{tick, 0, 1, static_cast<uint8_t>(value)});
    }
    void cc12(int32_t source, int32_t tick, int32_t value) {
        song.cc12ByTrack[static_cast<size_t>(source)].push_back(ControlChange{tick, 0, 12, static_cast<uint8_t>(value)});
    }

    // Runs envelope assignment (into `envelopes`) and returns its log.
    std::string assign() {
        std::ostringstream log;
        assign(log);
        return log.str();
    }
    void assign(std::ostream& log) {
        song.bendsByTrack.assign(bends.size(), BendList{});
        for (size_t s = 0; s < bends.size(); ++s) {
            for (const PitchBend& b : bends[s]) song.bendsByTrack[s].push_back(b);
        }
        song.bendRangesByTrack = ranges;
        envelopes = EnvelopeTable{};
        envelopes = assignEnvelopes(tables, song, log);
    }
    // Numbers the combinations (into `combos`), after the envelope pass.
    void numberCombos() { combos = numberCombinations(tables, song, envelopes); }

    const PreparedNote& note(int32_t index) const { return song.notes[static_cast<size_t>(index)]; }
    int32_t envelopeOf(int32_t noteIndex) const { return envelopes.recordOf(noteIndex); }
    const EnvelopeRecord& recordOf(int32_t noteIndex) const {
        return envelopes.records.at(static_cast<size_t>(envelopeOf(noteIndex)));
    }
};

}  // namespace tonequill::testing
