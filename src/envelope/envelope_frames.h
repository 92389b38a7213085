#pragma once

#include <cstdint>
#include <string>

#include "common/prepared_song.h"

namespace tonequill {

// The most frames the envelope pass samples over a whole song: a hostile
// file can ask for billions, so the pass refuses before allocating them.
inline constexpr int64_t kMaxSongFrames = 33554432;

// Where a note stands, for error messages: "the note at tick T on TRn".
struct NoteSite {
    int32_t trackNumber = 0;  // n of TRn
    int32_t tick = 0;
    [[nodiscard]] std::string text() const;
};

// MIDI ticks per sixtieth of a second at the starting tempo; 1.0 when the
// song's numbers give nothing above 0.
double ticksPerFrame(const PreparedSong& song);

// Frames a note spans: at least 1, else its length divided by ticksPerFrame
// and rounded up. Not bounded here: a long note at a slow frame rate can ask
// for more than 32 bits hold.
int64_t framesOfNote(int32_t startTick, int32_t endTick, double ticksPerFrame);

// Counts the frames sampled so far and refuses a note that would take the
// song past kMaxSongFrames.
class FrameBudget {
public:
    // Adds a note's frames; throws ConversionError, naming the note, when the
    // total would pass the limit.
    void take(int64_t frames, const NoteSite& site);
    [[nodiscard]] int64_t used() const { return used_; }

private:
    int64_t used_ = 0;
};

}  // namespace tonequill
