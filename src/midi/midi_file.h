#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/bend_list.h"
#include "common/bulk_memory.h"
#include "common/channel_events.h"
#include "common/tempo_event.h"

namespace tonequill {

// A note-on or note-off as the file has it (a note-on of velocity 0 is a
// note-off).
struct NoteEvent {
    int32_t tick = 0;
    uint8_t channel = 0;
    uint8_t note = 0;
    uint8_t velocity = 0;
    bool on = false;  // a note-on of velocity above 0
};

struct TimeSignature {
    int32_t tick = 0;
    uint8_t numerator = 0;
    uint8_t power = 0;  // the denominator is 2 to this power
};

// The events of one track chunk that the converter uses, by kind, each list
// in file order and so in time order. Their `track` is the track's index in
// the file. Aftertouch, system-exclusive and unknown events leave no trace.
struct MidiTrack {
    BulkList<NoteEvent> notes;
    BulkList<ProgramChange> programs;
    BendList bends;
    BulkList<ControlChange> controllers;
};

struct MidiFile {
    std::vector<MidiTrack> tracks;
    std::vector<TempoEvent> tempoEvents;  // sorted by tick, never empty after a read
    std::vector<std::string> trackNames;  // one per track, empty when the track has none
    std::string title;
    int32_t ticksPerQuarter = 0;
    // The first Set Tempo met in track order (one of three bytes or more),
    // in microseconds per quarter note; 0 when the file has none.
    uint32_t firstSetTempo = 0;
    std::vector<TimeSignature> timeSignatures;  // track by track, each in file order
};

}  // namespace tonequill
