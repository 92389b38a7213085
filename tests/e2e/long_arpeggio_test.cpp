// Arpeggio tokens with large repeat counts through the real binary: every
// count is honoured, the work follows what the document holds, and a token
// record too long for any song stops the run with a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

// Chords of C and E, each 480 ticks at 120 beats a minute (30 frames), on
// program 0, so [ApMap] key 1 plays them. With `vibrato` the modulation
// controller makes their envelopes per-frame values.
std::vector<uint8_t> chordSong(bool vibrato) {
    TrackBuilder conductor;
    conductor.name(0, "Chords").tempo(0, 500000);
    TrackBuilder lead;
    lead.program(0, 0, 0);
    if (vibrato) lead.controller(0, 0, 1, 64);
    for (int32_t start = 0; start < 8 * 480; start += 480) {
        lead.note(start, start + 480, 0, 60, 100).note(start, start + 480, 0, 64, 100);
    }
    return buildMidi({conductor, lead}, 480);
}

std::string repeated(const std::string& piece, int times, const std::string& separator) {
    std::string out;
    for (int i = 0; i < times; ++i) out += (i ? separator : "") + piece;
    return out;
}

RunResult convert(const TempDir& dir, const std::vector<uint8_t>& song, const std::string& tve) {
    writeBytes(dir.file("song.mid"), song);
    writeText(dir.file("tve.txt"), tve);
    return runBinary({"song.mid"}, dir.path());
}

// The same token thousands of times in one entry, on chords that also have a
// vibrato: each note reads 30 values, all of them the top tone of "D4096", so
// the document is the one that a short entry with the same first 30 values gives.
TEST(LongArpeggio, ManyLongTokensUnderAVibratoGiveTheDocumentOfTheirFirstFrames) {
    const std::string vibrato = "[EmoMap]\n64{0,1,0,-1}\n";
    TempDir hostile;
    const auto big = convert(hostile, chordSong(true), vibrato + "[ApMap]\n1{" + repeated("D4096", 4000, ",") + "}\n");
    ASSERT_EQ(big.status, 0) << big.out;
    EXPECT_EQ(big.out, "Convert done\n");
    TempDir plain;
    const auto small = convert(plain, chordSong(true), vibrato + "[ApMap]\n1{D30}\n");
    ASSERT_EQ(small.status, 0) << small.out;
    EXPECT_EQ(readText(hostile.file("song.mml")), readText(plain.file("song.mml")));
}

// Without another source the chord's En tokens are written out in full,
// 4096 of each tone per token, well past any former ceiling.
TEST(LongArpeggio, AnArpeggioAloneIsWrittenOutInFull) {
    TempDir dir;
    const auto r = convert(dir, chordSong(false), "[ApMap]\n1{L," + repeated("U4096", 60, ",") + ",D5000}\n");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string ups = repeated(repeated("0", 4096, " ") + " " + repeated("4", 4096, " "), 60, " ");
    const std::string down = repeated("4", 5000, " ") + " " + repeated("0", 5000, " ");
    const std::string line = "E(300000){L " + ups + " " + down + " }\t//Ap 1\r\n";
    const std::string document = readText(dir.file("song.mml"));
    EXPECT_NE(document.find("\r\n" + line), std::string::npos);
}

TEST(LongArpeggio, ATokenRecordBeyondTheFrameLimitStopsTheRun) {
    struct Case {
        const char* tve;
        bool chords;  // else one note under controller 12 at 64
        const char* message;
    };
    const Case cases[] = {
        {"[ApMap]\n1{U16777216,U1}\n", true, "[ApMap] key 1: the arpeggio expands to more than 33554432 values"},
        {"[ApMap]\nE64{L,U2147483647}\n", false, "[ApMap] key E64: the arpeggio expands to more than 33554432 values"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<uint8_t> song = chordSong(false);
        if (!c.chords) {
            TrackBuilder conductor;
            conductor.tempo(0, 500000);
            TrackBuilder lead;
            lead.controller(0, 0, 12, 64).note(0, 480, 0, 60, 100);
            song = buildMidi({conductor, lead}, 480);
        }
        const auto r = convert(dir, song, c.tve);
        EXPECT_EQ(r.status, 1) << c.tve;
        EXPECT_EQ(r.out, std::string("error: ") + c.message + "\n");
        EXPECT_FALSE(fs::exists(dir.file("song.mml"))) << c.tve;
    }
}

}  // namespace
}  // namespace tonequill::testing
