// Writes the demo song: a small format-1 file made by the project itself.
#include <iostream>

#include "midi_builder.h"

using tonequill::testing::TrackBuilder;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make-demo output.mid\n";
        return 2;
    }
    TrackBuilder conductor;
    conductor.name(0, "Tonequill Demo").tempo(0, 500000);

    TrackBuilder melody;
    melody.name(0, "Melody").program(0, 0, 0);
    const int tune[] = {60, 62, 64, 65, 67, 65, 64, 62};
    for (int i = 0; i < 8; ++i) melody.note(i * 480, i * 480 + 420, 0, tune[i], 100);

    TrackBuilder bass;
    bass.name(0, "Bass").program(0, 1, 33);
    for (int i = 0; i < 4; ++i) bass.note(i * 960, i * 960 + 900, 1, i % 2 == 0 ? 36 : 43, 110);

    tonequill::testing::writeBytes(argv[1], tonequill::testing::buildMidi({conductor, melody, bass}, 480));
    return 0;
}
