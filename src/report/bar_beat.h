#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/midi_file.h"

namespace tonequill {

// A meter in force from `tick` on, with the number of its first bar.
struct MeterSpan {
    int64_t tick = 0;
    int64_t firstBar = 1;
    int32_t numerator = 4;
    int32_t denominator = 4;
    int64_t beatTicks = 0;  // MIDI ticks per beat
    int64_t barTicks = 0;   // MIDI ticks per bar
};

// A place as a sequencer shows it: 1-based bar and beat, ticks into the beat.
struct BarBeat {
    int64_t bar = 1;
    int64_t beat = 1;
    int64_t tick = 0;
};

// Places MIDI ticks in bars and beats by the file's time signatures (meta
// FF 58, from any track; 4/4 until the first). A new meter starts a new bar
// at its tick, even in the middle of a bar. A time signature with numerator 0,
// or whose beat is not a whole number of ticks, is left out.
class BarBeatClock {
public:
    // `tickScale` and `wholeNoteTicks` place ticks on the output's grid of
    // whole notes too (0 for either leaves that grid out).
    BarBeatClock(const MidiFile& file, int32_t tpqn, double tickScale = 0.0, int32_t wholeNoteTicks = 0);

    [[nodiscard]] BarBeat at(int64_t tick) const;
    // "bar:beat", or "bar:beat:tick" off the beat.
    [[nodiscard]] std::string text(int64_t tick) const;
    // As text, followed by " (MML bar N)" where the output's bar differs.
    [[nodiscard]] std::string place(int64_t tick) const;
    // The output's 1-based bar of a MIDI tick (MML ticks rounded half up).
    [[nodiscard]] int64_t mmlBar(int64_t tick) const;
    // The MIDI tick where bar `bar` (1-based) begins.
    [[nodiscard]] int64_t barStart(int64_t bar) const;
    [[nodiscard]] const std::vector<MeterSpan>& meters() const { return meters_; }
    // True when the file has at least one usable time signature.
    [[nodiscard]] bool fromFile() const { return fromFile_; }

private:
    std::vector<MeterSpan> meters_;
    bool fromFile_ = false;
    double tickScale_ = 0.0;
    int64_t wholeNoteTicks_ = 0;
};

// The MML tick of a MIDI tick as the writer places it (tick x scale + 0.5, truncated).
int64_t mmlTickOf(int64_t midiTick, double tickScale);

}  // namespace tonequill
