#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/tempo_event.h"
#include "midi/event_bytes.h"

namespace tonequill {

// One stored event: its absolute tick and its bytes, status byte first.
// Meta events are FF, type, low 8 bits of the payload length, payload.
// Unknown statuses (and data bytes without a running status) store no bytes.
struct MidiEvent {
    int32_t tick = 0;
    EventBytes bytes;
};

struct MidiTrack {
    std::vector<MidiEvent> events;  // file order, never re-sorted
};

struct MidiFile {
    std::vector<MidiTrack> tracks;
    std::vector<TempoEvent> tempoEvents;  // sorted by tick, never empty after a read
    std::vector<std::string> trackNames;  // one per track, empty when the track has none
    std::string title;
    int32_t ticksPerQuarter = 0;
};

}  // namespace tonequill
