// Writes the demo song, a small format-1 file made by the project itself:
// a melody with a pitch bend and vibrato, a bass line, chords, a drum track
// on TR4, samples on TR5, and a tempo change.
#include <iostream>

#include "midi_builder.h"

using tonequill::testing::TrackBuilder;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make-demo output.mid\n";
        return 2;
    }
    constexpr int kBeat = 480;
    constexpr int kBar = 4 * kBeat;

    TrackBuilder conductor;
    conductor.name(0, "Tonequill Demo").tempo(0, 500000).tempo(2 * kBar, 428571);  // 120, then 140 BPM

    TrackBuilder melody;  // TR1
    melody.name(0, "Melody").program(0, 0, 0);
    const int tune[] = {64, 67, 69, 71, 72, 71, 69, 67};
    for (int i = 0; i < 8; ++i) melody.note(i * kBeat, i * kBeat + 420, 0, tune[i], 100);
    // A bend up into the long note, then vibrato from the modulation wheel.
    melody.pitchBend(8 * kBeat, 0, 4096).pitchBend(8 * kBeat + 120, 0, 8192);
    melody.note(8 * kBeat, 10 * kBeat, 0, 72, 110);
    melody.controller(10 * kBeat, 0, 1, 40).note(10 * kBeat, 12 * kBeat, 0, 76, 90);
    melody.controller(12 * kBeat, 0, 1, 0).note(12 * kBeat, 16 * kBeat, 0, 72, 127);

    TrackBuilder bass;  // TR2
    bass.name(0, "Bass").program(0, 1, 33);
    const int roots[] = {36, 43, 41, 36};
    for (int bar = 0; bar < 4; ++bar) {
        bass.note(bar * kBar, bar * kBar + 2 * kBeat - 60, 1, roots[bar], 110);
        bass.note(bar * kBar + 2 * kBeat, bar * kBar + 4 * kBeat - 60, 1, roots[bar] + 12, 80);
    }

    TrackBuilder chords;  // TR3: simultaneous notes become one note with an arpeggio
    chords.name(0, "Chords").program(0, 2, 0);
    chords.note(0, 2 * kBar, 2, 60, 70).note(0, 2 * kBar, 2, 64, 70).note(0, 2 * kBar, 2, 67, 70);
    chords.note(2 * kBar, 4 * kBar, 2, 60, 90).note(2 * kBar, 4 * kBar, 2, 65, 90).note(2 * kBar, 4 * kBar, 2, 69, 90);

    TrackBuilder drums;  // TR4, the noise track
    drums.name(0, "trx4 drums");
    for (int i = 0; i < 16; ++i) drums.note(i * kBeat, i * kBeat + 120, 9, i % 2 == 0 ? 36 : 42, i % 4 == 0 ? 127 : 90);

    TrackBuilder samples;  // TR5, the sample track
    samples.name(0, "trx5 samples");
    for (int bar = 0; bar < 4; ++bar) samples.note(bar * kBar + 3 * kBeat, bar * kBar + 4 * kBeat, 9, 38 + bar % 2, 100);

    tonequill::testing::writeBytes(argv[1],
                                   tonequill::testing::buildMidi({conductor, melody, bass, chords, drums, samples}, kBeat));
    return 0;
}
