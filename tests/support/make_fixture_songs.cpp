// Writes a set of songs, each in its own folder as song.mid with its mapping
// file tve.txt beside it, for comparing two builds of the converter on the
// same input (scripts/windows-check.sh). Between them the songs use every
// output track and chip, chords, arpeggios, vibrato, pitch bend with changed
// bend ranges, tempo changes, the three timebases, odd tick rates, merged
// tracks, and the inputs the converter refuses. The songs are fixed: the
// pseudo-random ones come from a seeded generator of our own.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "midi_builder.h"
#include "random_song.h"

namespace {

namespace fs = std::filesystem;
using tonequill::testing::bendRange;
using tonequill::testing::buildMidi;
using tonequill::testing::kRandomMapping;
using tonequill::testing::randomSong;
using tonequill::testing::TrackBuilder;
using tonequill::testing::writeBytes;
using tonequill::testing::writeText;

class FixtureWriter {
public:
    explicit FixtureWriter(fs::path root) : root_(std::move(root)) {}

    fs::path folder(const std::string& name) {
        fs::path dir = root_ / name;
        fs::create_directories(dir);
        return dir;
    }
    void song(const std::string& name, const std::vector<uint8_t>& bytes, const std::string& mapping = "") {
        const fs::path dir = folder(name);
        writeBytes((dir / "song.mid").string(), bytes);
        if (!mapping.empty()) writeText((dir / "tve.txt").string(), mapping);
    }

private:
    fs::path root_;
};

std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A bend that swings up and back over [start, end).
void bendSwing(TrackBuilder& track, int32_t start, int32_t end, int channel, int32_t step) {
    const int32_t span = end - start;
    for (int32_t t = start; t < end; t += step) {
        const int64_t phase = (static_cast<int64_t>(t - start) * 4096) / span;  // 0..4095
        const int64_t offset = phase < 2048 ? phase * 3 : (4096 - phase) * 3;
        track.pitchBend(t, channel, static_cast<int>(8192 + offset));
    }
    track.pitchBend(end, channel, 8192);
}

const char* const kFullMapping =
    "# Fixture mapping: every section, comments, repeated keys\n"
    "[EvMap]\n"
    "1{15,14,12,10,L,8,R,4,0}\n"
    "5{15 13 11 9 7 5 3 1}\n"
    "11{D,4,12,L,10,8,R,D,0}\n"
    "3{1,2}\n"
    "3{15,L,12,R,0}\n"
    "1036{15,10,5,0}\n"
    "2003{32,30,28,L,26,R,0}\n"
    "3001{15,L,14,13,R,2}\n"
    "4001{42,40,L,38,R,10}\n"
    "5021{Dx,15,12}\n"
    "7001{15,15,14,L,13,R,0}\n"
    "  # not a comment: a data line without braces\n"
    "[E@Map]\n"
    "1{2}\n"
    "5{1}\n"
    "2003{0,10,20,30,40,50,60,63,L,32}\n"
    "5021{3 12 abc}\n"
    "6001{}\n"
    "[EnMap]\n"
    "1036{0,1,2}\n"
    "1038{12,L,14,13}\n"
    "1042{-1,-2,-3}\n"
    "[EmoMap]\n"
    "20{0,D,4,2,4,2,0,-2,-4,-2}\n"
    "64{d,+2,L,4,8,4,0,-4,-8,-4}\n"
    "127{0,L,6,12,6,0,-6,-12,-6}\n"
    "[ApMap]\n"
    "5{L,U2}\n"
    "11{0,D1,L,U1}\n"
    "21{u3,L,d1}\n"
    "E10{L,0,3,7}\n"
    "e70{0,12,L,0}\n"
    " E90 {0,7,12,L,0}\n"
    "P5{1}\n"
    "[Unknown]\n"
    "[EvMap]\n"
    "2{8,L,4,R,0}\n";

std::vector<uint8_t> fullMappingSong() {
    const int32_t q = 480;
    TrackBuilder conductor;
    conductor.name(0, "Fixture: full mapping").text(0, "made by make-fixture-songs");
    conductor.tempo(0, 500000).tempo(8 * q, 400000).tempo(16 * q, 600000).tempo(20 * q + 7, 523000);

    TrackBuilder lead;  // TR1: vibrato depths, pitch bend, a changed bend range
    lead.name(0, "Lead").program(0, 0, 0).controller(0, 0, 1, 0);
    const int melody[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < 8; ++i) lead.note(i * q, i * q + q - 40, 0, melody[i], 40 + i * 12);
    lead.controller(8 * q, 0, 1, 20).note(8 * q, 10 * q, 0, 67, 100);
    lead.controller(10 * q, 0, 1, 64).note(10 * q, 11 * q, 0, 69, 90);
    lead.controller(11 * q, 0, 1, 100).note(11 * q, 12 * q + q / 2, 0, 71, 127);
    lead.controller(13 * q, 0, 1, 0);
    bendRange(lead, 13 * q, 0, 12, 50);
    lead.note(13 * q, 16 * q, 0, 60, 110);
    bendSwing(lead, 13 * q, 16 * q, 0, 30);
    lead.controller(16 * q, 0, 1, 64).note(16 * q, 18 * q, 0, 64, 100);
    bendSwing(lead, 16 * q, 18 * q, 0, 45);
    bendRange(lead, 18 * q, 0, 3);
    lead.note(18 * q, 19 * q, 0, 62, 100).pitchBend(18 * q + 100, 0, 0).pitchBend(18 * q + 300, 0, 16383);

    TrackBuilder chords;  // TR2: chords with program arpeggios and controller 12
    chords.name(0, "Chords").program(0, 1, 4);
    chords.note(0, 2 * q, 1, 60).note(0, 2 * q, 1, 64).note(0, 2 * q, 1, 67);
    chords.note(2 * q, 4 * q, 1, 57).note(2 * q + 20, 4 * q, 1, 60, 120).note(2 * q + 50, 4 * q, 1, 64, 70);
    chords.controller(4 * q, 1, 12, 10).note(4 * q, 6 * q, 1, 55).note(4 * q, 6 * q, 1, 59).note(4 * q, 6 * q, 1, 62);
    chords.controller(6 * q, 1, 12, 70).note(6 * q, 7 * q, 1, 72).note(7 * q, 8 * q, 1, 74);
    chords.controller(8 * q, 1, 12, 90).program(8 * q, 1, 10);
    chords.note(8 * q, 10 * q, 1, 48).note(8 * q, 10 * q, 1, 55).note(8 * q, 10 * q, 1, 60);
    chords.controller(10 * q, 1, 12, 0).note(10 * q, 12 * q, 1, 50).note(10 * q, 12 * q, 1, 53).note(10 * q, 12 * q, 1, 57);
    chords.program(12 * q, 1, 20).note(12 * q, 13 * q, 1, 60).note(12 * q, 13 * q, 1, 72);
    bendRange(chords, 13 * q, 1, 2);
    chords.note(13 * q, 15 * q, 1, 48).note(13 * q, 15 * q, 1, 52);
    bendSwing(chords, 13 * q, 15 * q, 1, 60);
    chords.controller(14 * q, 1, 1, 20);

    TrackBuilder triangle;  // TR3: five volume levels
    triangle.name(0, "trx3 bass").program(0, 2, 2);
    for (int i = 0; i < 16; ++i) triangle.note(i * q, i * q + q / 2, 2, i % 2 == 0 ? 36 : 43, 8 * i);

    TrackBuilder noise;  // TR4: note numbers pick the noise voices
    noise.name(0, "TRX4-noise");
    for (int i = 0; i < 32; ++i) {
        const int drum = (i % 4 == 0) ? 36 : (i % 4 == 2) ? 38 : 42;
        noise.note(i * q / 2, i * q / 2 + q / 4, 9, drum, 30 + (i * 3) % 97);
    }

    TrackBuilder samples;  // TR5: DPCM samples
    samples.name(0, "trx5_dpcm");
    for (int i = 0; i < 8; ++i) samples.note(i * q * 2, i * q * 2 + q, 9, i % 3 == 0 ? 35 : (i % 3 == 1 ? 40 : 49), 100);

    TrackBuilder fds;  // TR6
    fds.name(0, "trx6 fds").program(0, 3, 2).controller(0, 3, 1, 127);
    for (int i = 0; i < 6; ++i) fds.note(i * 3 * q / 2, (i + 1) * 3 * q / 2, 3, 72 + i, 20 * i + 10);

    TrackBuilder vrc6;  // TR8 and TR9
    vrc6.name(0, "trx8").program(0, 4, 0);
    for (int i = 0; i < 8; ++i) vrc6.note(i * q, i * q + q / 3, 4, 76 - i, 127 - 10 * i);
    TrackBuilder saw;
    saw.name(0, "trx009 saw").program(0, 5, 0);
    bendRange(saw, 0, 5, 7);
    saw.note(0, 4 * q, 5, 48, 127).note(4 * q, 8 * q, 5, 43, 64);
    bendSwing(saw, 0, 4 * q, 5, 20);

    TrackBuilder vrc7;  // TR12: chords on an FM voice
    vrc7.name(0, "trx12 vrc7").program(0, 6, 20);
    for (int i = 0; i < 4; ++i) {
        vrc7.note(i * 2 * q, i * 2 * q + 2 * q, 6, 60 + i).note(i * 2 * q, i * 2 * q + 2 * q, 6, 64 + i);
        vrc7.note(i * 2 * q, i * 2 * q + 2 * q, 6, 67 + i);
    }

    TrackBuilder mmc5;  // TR17
    mmc5.name(0, "trx17 mmc5").program(0, 7, 4);
    for (int i = 0; i < 12; ++i) mmc5.note(i * q / 3, i * q / 3 + q / 3, 7, 80 + (i % 5), 90);

    TrackBuilder n16x;  // TR20
    n16x.name(0, "trx20 n16x").program(0, 8, 0).controller(0, 8, 12, 90);
    for (int i = 0; i < 4; ++i) n16x.note(i * q * 3, i * q * 3 + q * 2, 8, 57 + i * 2, 100);

    TrackBuilder fiveB;  // TR27
    fiveB.name(0, "trx27 5b").program(0, 10, 0);
    for (int i = 0; i < 10; ++i) fiveB.note(i * q + q / 2, i * q + q, 10, 84 - i, 64 + i);

    TrackBuilder guest;  // a second source for TR1: loses where the lead sounds
    guest.name(0, "trx1 guest").program(0, 11, 10);
    guest.note(q / 2, 3 * q, 11, 79, 100).note(19 * q, 22 * q, 11, 81, 100).note(21 * q, 23 * q, 11, 83, 90);

    return buildMidi({conductor, lead, chords, triangle, noise, samples, fds, vrc6, saw, vrc7, mmc5, n16x, fiveB, guest}, q);
}

// Many notes of every length, ties across bar lines and rests, at a tempo
// and tick rate that give timebase 12 and uneven scaling.
std::vector<uint8_t> fastTempoSong() {
    const int32_t q = 96;
    TrackBuilder conductor;
    conductor.name(0, "Fast").tempo(0, 200000).tempo(17 * q, 150000);
    TrackBuilder a;
    a.name(0, "Runs").program(0, 0, 7);
    int32_t t = 0;
    const int32_t lengths[] = {1, 3, 7, 12, 24, 25, 36, 47, 48, 72, 95, 96, 97, 144, 191, 192, 385, 500};
    for (int i = 0; i < 54; ++i) {
        const int32_t length = lengths[i % 18];
        a.note(t, t + length, 0, 48 + (i * 7) % 36, 1 + (i * 29) % 127);
        t += length + (i % 5 == 0 ? 13 : 0);
    }
    TrackBuilder b;
    b.name(0, "Pad").program(0, 1, 3);
    b.note(5, 4 * q * 3 + 5, 1, 50).note(4 * q * 3 + 5, 4 * q * 7 + 1, 1, 53);
    return buildMidi({conductor, a, b}, q);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make-fixture-songs output-folder\n";
        return 2;
    }
    FixtureWriter out{fs::path(argv[1])};

    out.song("full-mapping", fullMappingSong(), withCrlf(kFullMapping));
    out.song("fast-tempo", fastTempoSong());  // no mapping file anywhere
    out.song("random-timebase48", randomSong(1234567u, 480, 545455, {"one", "trx3 two", "three", "trx4 four", "trx5", "trx7 six", "trx9 seven", "trx10 eight"}),
             kRandomMapping);
    out.song("random-timebase24", randomSong(42u, 1000, 468750, {"a", "b", "trx2 c", "d", "trx6 e", "trx16 f", "trx18 g", "trx26 h", "trx28 i"}),
             kRandomMapping);
    out.song("random-tpqn-96", randomSong(7u, 96, 700000, {"x", "y", "trx1 z"}), kRandomMapping);

    {  // A single track: no conductor, its notes are source track 0.
        TrackBuilder only;
        only.name(0, "Solo").tempo(0, 480000).program(0, 0, 4);
        for (int i = 0; i < 8; ++i) only.note(i * 240, i * 240 + 200, 0, 60 + i, 100);
        out.song("single-track", buildMidi({only}, 480), "[EvMap]\n5{15,L,10,R,0}\n");
    }
    {  // A byte-order mark spoils the first header; an existing output is replaced.
        TrackBuilder conductor;
        conductor.name(0, "Replace me").tempo(0, 500000);
        TrackBuilder lead;
        lead.program(0, 0, 0).note(0, 480, 0, 60).note(480, 960, 0, 64);
        out.song("bom-mapping-existing-output", buildMidi({conductor, lead}, 480), "\xEF\xBB\xBF[EvMap]\n1{9}\n[E@Map]\n1{4}\n");
        writeText((out.folder("bom-mapping-existing-output") / "song.mml").string(), "an old document\n");
    }

    // Inputs the converter refuses.
    TrackBuilder conductor;
    conductor.tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60).note(480, 960, 0, 62);
    out.song("refused-format0", buildMidi({lead}, 480, 0));
    out.song("refused-format2", buildMidi({conductor, lead}, 480, 2));
    {
        const auto fileFolder = out.folder("refused-not-midi");
        writeText((fileFolder / "song.mid").string(), "this is not a MIDI file\n");
    }
    {
        auto bytes = buildMidi({conductor, lead}, 480);
        bytes.resize(bytes.size() - 7);
        out.song("refused-truncated", bytes);
    }
    {
        std::vector<TrackBuilder> tracks{conductor};
        for (int i = 0; i < 30; ++i) {
            TrackBuilder t;
            t.note(i * 10, i * 10 + 100, i % 16, 60);
            tracks.push_back(t);
        }
        out.song("refused-too-many-tracks", buildMidi(tracks, 480));
    }
    {
        TrackBuilder named;
        named.name(0, "trx99999999999 huge").note(0, 480, 0, 60);
        out.song("refused-huge-directive", buildMidi({conductor, named}, 480));
    }
    out.song("refused-bad-mapping-number", buildMidi({conductor, lead}, 480), "[EvMap]\n1{15,x}\n");
    out.song("refused-mapping-out-of-range", buildMidi({conductor, lead}, 480), "[ApMap]\n99999999999{1}\n");
    return 0;
}
