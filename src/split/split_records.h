#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tonequill {

// One event of a format-0 file, as a format-1 file writes it again.
struct SplitEvent {
    uint32_t tick = 0;  // absolute position in ticks
    // The full status byte: a channel status (also where the file used
    // running status), 0xFF for a meta event, 0xF0 or 0xF7 for a
    // system-exclusive message.
    uint8_t status = 0;
    // The bytes after the status, viewing the file's own bytes: a channel
    // event's data bytes; a meta event's type, length and payload; a
    // system-exclusive message's length and data.
    std::span<const uint8_t> body;
};

// A format-0 file as read: its one track's events in file order.
struct Format0Song {
    uint16_t division = 0;  // the header's division word, as it stands
    std::vector<SplitEvent> events;  // every event but the end of track
    uint32_t endTick = 0;  // where the track ends: its end of track, or its last event when that is later
};

// One track of the format-1 file.
struct SplitTrack {
    std::string name;     // written as a track-name event at tick 0; empty for none
    int32_t channel = -1;  // the MIDI channel 0 to 15 whose events it holds; -1 for the first track
    std::vector<SplitEvent> events;  // in the order of the format-0 file
};

}  // namespace tonequill
