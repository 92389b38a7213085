// Writes one generated song, and with --mapping the bench mapping file:
//   make-bench-song ordinary|long-bends|bend-curves NOTES OUT.mid [--frames F] [--seed S] [--mapping tve.txt]
#include <cstdlib>
#include <iostream>
#include <string>

#include "midi_builder.h"
#include "song_generator.h"

int main(int argc, char** argv) {
    using namespace tonequill::bench;
    if (argc < 4) {
        std::cerr << "usage: make-bench-song ordinary|long-bends|bend-curves NOTES OUT.mid"
                     " [--frames F] [--seed S] [--mapping tve.txt]\n";
        return 2;
    }
    SongRequest request;
    const std::string shape = argv[1];
    if (shape == "ordinary") {
        request.shape = SongShape::ordinary;
    } else if (shape == "long-bends") {
        request.shape = SongShape::longBends;
    } else if (shape == "bend-curves") {
        request.shape = SongShape::bendCurves;
    } else {
        std::cerr << "unknown shape '" << shape << "'\n";
        return 2;
    }
    request.notes = std::atoll(argv[2]);
    const std::string out = argv[3];
    for (int i = 4; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--frames") request.framesPerNote = std::atoll(argv[i + 1]);
        if (option == "--seed") request.seed = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--mapping") tonequill::testing::writeText(argv[i + 1], benchMappingText());
    }
    tonequill::testing::writeBytes(out, generateSong(request));
    return 0;
}
