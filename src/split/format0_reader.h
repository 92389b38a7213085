#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "split/split_records.h"

namespace tonequill {

// What reading a format-0 file gives: the song, or why the bytes are not one.
struct Format0Read {
    Format0Song song;   // its events view the bytes that were read
    std::string error;  // empty when the song was read; else what was wrong and where
};

// Reads a format-0 Standard MIDI File: the header (one track), chunks of
// other types (skipped), and the track chunk, every event whole and inside
// the chunk. Running status is expanded; meta events and system-exclusive
// messages leave the running status as it was. A format-1 or format-2 file
// is refused, and so is every damage: a cut-off file, an event that runs
// past its chunk, a data byte with no status before it, a status byte that
// has no place in a file, a position beyond 268435455 ticks (the furthest a
// delta time reaches).
Format0Read readFormat0(std::span<const uint8_t> bytes);

}  // namespace tonequill
