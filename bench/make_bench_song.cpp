// Writes one generated song, and with --mapping the bench mapping file:
//   make-bench-song ordinary|long-bends|bend-curves|dense|long-note NOTES OUT.mid
//                   [--frames F] [--seed S] [--mapping tve.txt]
// or a folder of musician songs with the mapping file beside them (OUTDIR/tve.txt):
//   make-bench-song folder SONGS OUTDIR [--seed S]
// The folder's songs are song-NNN.mid; each line of OUTDIR/notes.txt gives a
// song's file name and its number of notes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "midi_builder.h"
#include "song_generator.h"

int main(int argc, char** argv) {
    using namespace tonequill::bench;
    const char* usage =
        "usage: make-bench-song ordinary|long-bends|bend-curves|dense|long-note NOTES OUT.mid"
        " [--frames F] [--seed S] [--mapping tve.txt]\n"
        "       make-bench-song folder SONGS OUTDIR [--seed S]\n";
    if (argc < 4) {
        std::cerr << usage;
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
    } else if (shape == "dense") {
        request.shape = SongShape::dense;
    } else if (shape == "long-note") {
        request.shape = SongShape::longNote;
    } else if (shape != "folder") {
        std::cerr << "unknown shape '" << shape << "'\n" << usage;
        return 2;
    }
    request.notes = std::atoll(argv[2]);
    const std::string out = argv[3];
    std::string mapping;
    for (int i = 4; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--frames") request.framesPerNote = std::atoll(argv[i + 1]);
        if (option == "--seed") request.seed = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--mapping") mapping = argv[i + 1];
    }
    if (shape == "folder") {
        std::filesystem::create_directories(out);
        tonequill::testing::writeText(out + "/tve.txt", benchMappingText());
        std::ofstream list(out + "/notes.txt");
        int index = 0;
        for (const SongRequest& song : songFolder(static_cast<int>(request.notes), request.seed)) {
            char name[32];
            std::snprintf(name, sizeof name, "song-%03d.mid", index++);
            tonequill::testing::writeBytes(out + "/" + name, generateSong(song));
            list << name << ' ' << song.notes << '\n';
        }
        return list ? 0 : 1;
    }
    if (!mapping.empty()) tonequill::testing::writeText(mapping, benchMappingText());
    tonequill::testing::writeBytes(out, generateSong(request));
    return 0;
}
