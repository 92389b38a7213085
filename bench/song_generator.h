#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonequill::bench {

// The shapes of song the benchmarks convert.
enum class SongShape {
    // Eight tracks with programs, chords, short, long and held pitch bends,
    // modulation, controller 12, tempo changes and "trx" track names.
    ordinary,
    // An ordinary song in which four notes are very long (120,000 frames
    // each unless asked otherwise), each with a bend that changes every frame.
    longBends,
    // An ordinary song in which thousands of notes (5000, at most half the
    // song) each have a bend curve of their own.
    bendCurves,
};

struct SongRequest {
    SongShape shape = SongShape::ordinary;
    int64_t notes = 10000;       // note-ons in the song
    int64_t framesPerNote = 0;   // longBends: frames of each long note (0: 120000)
    uint64_t seed = 1;
};

// The bytes of a format-1 MIDI file; the same request always gives the same bytes.
std::vector<uint8_t> generateSong(const SongRequest& request);

// A mapping file whose entries the generated songs use.
std::string benchMappingText();

}  // namespace tonequill::bench
