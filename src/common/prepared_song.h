#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/bend_list.h"
#include "common/bulk_memory.h"
#include "common/channel_events.h"
#include "common/chord_intervals.h"
#include "common/tempo_event.h"

namespace tonequill {

struct PreparedNote {
    int32_t note = 0;     // for a chord, its lowest member
    int32_t channel = 0;
    int32_t track = 0;    // raw track index in a raw note; source track index later
    int32_t startTick = 0;
    int32_t endTick = 0;  // exclusive
    int32_t velocity = 0; // for a chord, the highest of its members
    int32_t program = 0;
    bool isChord = false;
    ChordIntervals chordIntervals;  // distinct member notes minus the lowest, ascending
};

struct LengthEntry {
    int32_t ticks = 0;  // MML ticks
    std::string token;
};

// A source track with notes on MIDI channel 10, the drum channel, that goes
// by track order to an output track other than the noise track TR4.
struct DrumTrackHint {
    int32_t sourceTrack = 0;
    int32_t rawTrack = 0;     // counted from 0 in file order, a conductor track included
    int32_t outputIndex = 0;  // where it goes
    int32_t noteCount = 0;    // its notes on channel 10
    std::string name;         // the track's name as the file gives it
};

struct PreparedSong {
    int32_t tpqn = 0;
    int32_t initialBpm = 0;
    int32_t timebase = 0;
    int32_t wholeNoteTicks = 0;
    int32_t sourceTrackCount = 0;
    int32_t outputTrackCount = 0;
    double tickScale = 1.0;
    std::string title;
    std::vector<int32_t> routing;                       // output index per source track
    BulkList<PreparedNote> notes;                    // final notes, output track 0 first
    std::vector<LengthEntry> lengthTable;               // largest first
    std::vector<BulkList<int32_t>> trackNotes;       // per output track: positions in notes
    std::vector<BulkList<ProgramChange>> programsByTrack;    // per source track
    std::vector<BulkList<ControlChange>> modulationByTrack;  // controller 1, per source track
    std::vector<BulkList<ControlChange>> cc12ByTrack;        // controller 12, per source track
    std::vector<BendList> bendsByTrack;                      // per source track
    std::vector<BulkList<BendRange>> bendRangesByTrack;      // per source track
    std::set<int32_t> dpcmNotes;                        // note numbers placed on TR5
    std::vector<TempoEvent> tempoEvents;                // sorted by tick, never empty
    std::vector<DrumTrackHint> drumTracksOffNoise;      // by source track
};

}  // namespace tonequill
