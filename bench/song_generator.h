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
    // Eight tracks, five of them sent to expansion chips by "trx" names, with
    // chords, programs, about 3.5 pitch bends and one controller change
    // (modulation, controller 12, volume, expression, pan, sustain) a note,
    // and a tempo change every 50 notes.
    dense,
    // One note of 16 million frames (unless asked otherwise), with a pitch
    // bend every 4 ticks (a quarter of a frame) all through it.
    longNote,
    // A song of the kind a musician keeps: 3 to 11 tracks, a tempo map, a
    // time signature, chords, a few bends, the odd modulation; its division,
    // meter, tempo and style come from the seed.
    musician,
};

struct SongRequest {
    SongShape shape = SongShape::ordinary;
    int64_t notes = 10000;       // note-ons in the song
    int64_t framesPerNote = 0;   // longBends: frames of each long note (0: 120000); longNote: (0: 16000000)
    uint64_t seed = 1;
};

// The bytes of a format-1 MIDI file; the same request always gives the same bytes.
std::vector<uint8_t> generateSong(const SongRequest& request);

// A folder of `songs` musician songs, from 200 to 30,000 notes, most of them a
// few thousand (the sizes spread evenly on a log scale; the first two are the
// smallest and the largest).
std::vector<SongRequest> songFolder(int songs, uint64_t seed);

// A mapping file whose entries the generated songs use: every section, with
// voices for the base chip, the noise track and every expansion chip's voice
// base, and arpeggios keyed by program and by controller 12.
std::string benchMappingText();

}  // namespace tonequill::bench
