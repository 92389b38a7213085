#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/version.h"
#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string asText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The parts of one song: what a sequencer puts in front, a lead and a bass
// with programs, modulation and a bend, and drums on channel 10.
void addConductor(TrackBuilder& t) {
    t.name(0, "Split demo")
        .tempo(0, 500000)
        .raw(0, {0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08})
        .raw(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .tempo(1440, 400000);
}
void addLead(TrackBuilder& t) {
    t.program(0, 0, 4).controller(0, 0, 1, 64).note(0, 480, 0, 72, 110).note(480, 960, 0, 74, 100);
    t.note(960, 1440, 0, 76, 90).note(960, 1440, 0, 79, 90).note(1440, 2880, 0, 77, 80);
}
void addBass(TrackBuilder& t) {
    t.program(0, 1, 33).note(0, 720, 1, 36, 100).pitchBend(480, 1, 10240).pitchBend(720, 1, 8192);
    t.note(720, 1440, 1, 43, 100).note(1440, 2880, 1, 41, 100);
}
void addDrums(TrackBuilder& t) {
    t.program(0, 9, 0);
    for (int32_t beat = 0; beat < 6; ++beat) t.note(beat * 480, beat * 480 + 60, 9, beat % 2 == 0 ? 36 : 38, 127);
}

// The song as one format-0 track, as many sequencers export it.
std::vector<uint8_t> format0Song() {
    TrackBuilder all;
    addConductor(all);
    addLead(all);
    addBass(all);
    addDrums(all);
    return buildMidi({all}, 480, 0);
}

// The same song as a musician would make it in format 1, tracks named so
// that the drums go to the noise track.
std::vector<uint8_t> format1ByHand() {
    TrackBuilder conductor;
    addConductor(conductor);
    TrackBuilder lead;
    addLead(lead.name(0, "Ch 1 Program 4"));
    TrackBuilder bass;
    addBass(bass.name(0, "Ch 2 Program 33"));
    TrackBuilder drums;
    addDrums(drums.name(0, "trx4 Ch 10 Drums Program 0"));
    return buildMidi({conductor, lead, bass, drums}, 480, 1);
}

const char* kMapping =
    "[EvMap]\n5{15,13,11,L,9,R,4}\n34{12,12,10}\n"
    "[EnMap]\n1036{4,2,0}\n1038{1,0}\n"
    "[EmoMap]\n64{0,D,4,L,2,0,-2,0}\n";

TEST(Split, AFormat0SongSplitConvertsAsTheSameSongMadeInFormat1) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), format0Song());
    writeBytes(dir.file("hand.mid"), format1ByHand());
    writeText(dir.file("tve.txt"), kMapping);

    auto split = runSplit({"song.mid"}, dir.path());
    ASSERT_EQ(split.status, 0) << split.log;
    EXPECT_EQ(split.log, "");
    EXPECT_EQ(split.out,
              "wrote song-f1.mid (format 1, 4 tracks):\n"
              "  track 1: tempo map, meter, title and other meta events, 5 events\n"
              "  track 2 \"Ch 1 Program 4\": 12 events\n"
              "  track 3 \"Ch 2 Program 33\": 9 events\n"
              "  track 4 \"trx4 Ch 10 Drums Program 0\": 13 events, to TR4 (the noise track)\n");
    EXPECT_EQ(readText(dir.file("song.mid")), asText(format0Song()));

    auto converted = runBinary({"song-f1.mid"}, dir.path());
    ASSERT_EQ(converted.status, 0) << converted.out;
    auto byHand = runBinary({"hand.mid"}, dir.path());
    ASSERT_EQ(byHand.status, 0) << byHand.out;
    const std::string document = readText(dir.file("song-f1.mml"));
    EXPECT_EQ(document, readText(dir.file("hand.mml")));
    // The drums sound on the noise track, their voices from [EnMap].
    EXPECT_TRUE(contains(converted.log, "[PREP] rawTrack=4 offset=1 srcTrack=3 outTrack=4\n")) << converted.log;
    EXPECT_TRUE(contains(converted.log, "[TRACK 4] notes=6\n")) << converted.log;
    EXPECT_TRUE(contains(document, "\r\nTR4 o")) << document;
    EXPECT_TRUE(contains(document, "E@1036")) << document;
    EXPECT_TRUE(contains(document, "#Title\t\t\"Split demo\"\r\n")) << document;
}

// Nothing is written when the input is no intact format-0 file, cannot be
// read, or would be replaced.
TEST(Split, RefusesAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    auto cutOff = format0Song();
    cutOff.resize(cutOff.size() - 7);
    const std::vector<Case> cases = {
        {{"hand.mid"}, "error: hand.mid: it is format 1 already: tonequill converts it as it is\n"},
        {{"cut.mid"}, "error: cut.mid: byte 14: the chunk declares"},
        {{"missing.mid"}, "error: cannot read 'missing.mid': No such file or directory\n"},
        {{"song.mid", "./song.mid"}, "error: the output './song.mid' is the input itself; name another output file\n"},
        {{"song.mid", "link.mid"}, "error: the output 'link.mid' is the input itself; name another output file\n"},
        {{"song.mid", "hard.mid"}, "error: the output 'hard.mid' is the input itself; name another output file\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), format0Song());
        writeBytes(dir.file("hand.mid"), format1ByHand());
        writeBytes(dir.file("cut.mid"), cutOff);
        fs::create_symlink("song.mid", dir.file("link.mid"));
        fs::create_hard_link(dir.file("song.mid"), dir.file("hard.mid"));
        std::set<fs::path> before(fs::directory_iterator(dir.path()), fs::directory_iterator());

        auto r = runSplit(c.args, dir.path());
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.log.rfind(c.message, 0), 0u) << r.log;
        EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(dir.path()), fs::directory_iterator()), before);
        EXPECT_EQ(readText(dir.file("song.mid")), asText(format0Song()));
    }
}

TEST(Split, CommandLine) {
    TempDir dir;
    writeBytes(dir.file("-x.mid"), format0Song());
    fs::create_directories(dir.path() / "out");

    auto help = runSplit({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tonequill-split [options] song.mid [out.mid]\n", 0), 0u) << help.out;
    EXPECT_TRUE(contains(help.out, "Exit status:")) << help.out;
    auto version = runSplit({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tonequill-split ") + kVersion + "\n");

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"-x.mid"}, std::vector<std::string>{"--", "-x.mid", "a.mid", "b.mid"}}) {
        auto r = runSplit(wrong, dir.path());
        EXPECT_EQ(r.status, 1) << wrong.size();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.log.rfind("tonequill-split: ", 0), 0u) << r.log;
        EXPECT_TRUE(contains(r.log, "\nusage: tonequill-split")) << r.log;
    }
    EXPECT_EQ(fs::directory_iterator(dir.path() / "out"), fs::directory_iterator());

    auto named = runSplit({"--", "-x.mid", "out/song.mid"}, dir.path());
    EXPECT_EQ(named.status, 0) << named.log;
    EXPECT_TRUE(contains(named.out, "wrote out/song.mid (format 1, 4 tracks):\n")) << named.out;
    auto byDefault = runSplit({"--", "-x.mid"}, dir.path());
    EXPECT_EQ(byDefault.status, 0) << byDefault.log;
    EXPECT_EQ(readText(dir.file("-x-f1.mid")), readText(dir.file("out/song.mid")));
    // A split file is format 1, so splitting it again is refused.
    EXPECT_EQ(runSplit({"out/song.mid", "again.mid"}, dir.path()).status, 1);
}

}  // namespace
}  // namespace tonequill::testing
