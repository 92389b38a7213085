// tonequill-report through its binary, and the proof that listening to the
// preparation changes nothing the converter writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "common/version.h"
#include "e2e_support.h"
#include "fixture_songs.h"
#include "mapping/mapping_loader.h"
#include "midi/midi_reader.h"
#include "report/decision_recorder.h"
#include "app/report_command.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

RunResult runReport(const std::vector<std::string>& args, const fs::path& workdir) {
    return runProgram(TONEQUILL_REPORT_BINARY, args, workdir);
}

// A time signature event: numerator, denominator as a power of two.
std::vector<uint8_t> meter(uint8_t numerator, uint8_t power) { return {0xFF, 0x58, 0x04, numerator, power, 24, 8}; }

// A song in 3/4 (4/4 from bar 5) built so that every decision happens once:
// a directed solo losing slices and a whole note to the home lead on TR1, a
// chord and a legato cut on TR3, a note-on never released, a note-off
// without a note-on, a note of no length and one shorter than an MML tick,
// drum and sample groups on TR4 and TR5, and a VRC6 voice without a mapping.
std::vector<uint8_t> everyReasonSong() {
    TrackBuilder conductor;
    conductor.name(0, "Where did <my> notes go? & \"why\"")
        .tempo(0, 500000)
        .raw(0, meter(3, 2))
        .tempo(2880, 400000)
        .raw(5760, meter(4, 2));
    TrackBuilder lead;
    lead.name(0, "lead").controller(0, 0, 1, 64).note(0, 960, 0, 72, 100).note(1440, 1920, 0, 76, 100);
    TrackBuilder solo;
    solo.name(0, "trx1 solo")
        .note(0, 480, 1, 71, 90)
        .note(480, 1920, 1, 79, 90)
        .pitchBend(960, 1, 12288)
        .note(2880, 3000, 1, 81, 90);
    TrackBuilder pad;
    pad.name(0, std::string("pad \xFF\x01 <&>"))
        .note(1440, 2880, 2, 60, 80)
        .note(1440, 2880, 2, 64, 90)
        .note(1450, 2880, 2, 67, 100)
        .note(2880, 3600, 2, 62, 80)
        .note(3360, 4320, 2, 65, 80)
        .noteOn(4320, 2, 69, 70)
        .noteOff(4400, 2, 71)
        .noteOn(4500, 2, 48, 90)
        .raw(4500, {0x82, 48, 0})
        .note(4800, 4803, 2, 50, 90);
    TrackBuilder drums;
    drums.name(0, "trx4 drums").note(0, 100, 9, 36, 127).note(20, 100, 9, 38, 100).note(480, 600, 9, 42, 80);
    TrackBuilder samples;
    samples.name(0, "trx5 samples").note(0, 240, 9, 40, 100).note(10, 240, 9, 41, 100);
    TrackBuilder strings;
    strings.name(0, "trx7 strings").program(0, 3, 40).note(5760, 7680, 3, 55, 100);
    return buildMidi({conductor, lead, solo, pad, drums, samples, strings}, 480);
}

constexpr const char* kEveryReasonMapping =
    "[EvMap]\n1{15,12,L,10,R,0}\n"
    "[E@Map]\n1{2}\n"
    "[EmoMap]\n64{0,1,2,1,0,-1,-2,-1}\n"
    "[ApMap]\n1{L,U1}\n";

// Checked by hand once against the conversion rules: the counts, every
// place in 3/4 and 4/4 with its MML bar, levels, voices and envelopes. The
// report opens with the problems; the output tracks list every decision,
// chords included, only with --all.
constexpr const char* kEveryReasonHead =
        "Tonequill report: song.mid\n"
        "Mapping file: tve.txt\n"
        "Title: Where did <my> notes go? & \"why\"\n"
        "Timing: 480 ticks per quarter note; starting tempo 120 BPM; MML timebase 48 (a whole note is 192 MML ticks)\n"
        "Meter: 3/4 from bar 1, 4/4 from bar 5\n"
        "Positions are bar:beat or bar:beat:tick (bars and beats from 1, ticks into the beat);\n"
        "\"(MML bar N)\" marks a place whose bar in the output's whole-note grid differs.\n"
        "Tracks are counted from 1 in file order; C4 is MIDI note 60.\n"
        "\n";

constexpr const char* kEveryReasonProblems =
        "PROBLEMS\n"
        "Dropped (1 note): note-on never released\n"
        "  bar 4  4:1 (MML bar 3)  TR3  A4 from track 4 \"pad \\xFF\\x01 <&>\", channel 3: note-on never released, dropped\n"
        "Dropped (1 note): note-on and note-off at the same tick\n"
        "  bar 4  4:1:180 (MML bar 3)  TR3  C3 from track 4 \"pad \\xFF\\x01 <&>\" dropped: note-on and note-off at the same tick\n"
        "Dropped (1 note): another source track had all of its time\n"
        "  bar 1  1:1 - 1:2  TR1  B4 from track 3 \"trx1 solo\" dropped: track 2 \"lead\" (home track) sounds all through it\n"
        "Dropped (2 notes): another note of its group kept (TR4, TR5)\n"
        "  bar 1  1:1  TR4  C2 (36) dropped, D2 (38) at 1:1:20 kept: TR4 plays one note of a group starting within a 32nd\n"
        "         1:1  TR5  E2 (40) dropped, F2 (41) at 1:1:10 kept: TR5 plays one note of a group starting within a 32nd\n"
        "Dropped (1 note): shorter than one MML tick\n"
        "  bar 4  4:2 (MML bar 3)  TR3  D3 from track 4 \"pad \\xFF\\x01 <&>\" lasting 3 ticks vanishes: start and end round to the same MML tick (480)\n"
        "Cut (1 note): lost time to another source track\n"
        "  bar 1  1:2 - 1:3              TR1  G5 from track 3 \"trx1 solo\" silent here: track 2 \"lead\" (home track) sounds\n"
        "  bar 2  2:1 (MML bar 1) - 2:2  TR1  G5 from track 3 \"trx1 solo\" silent here: track 2 \"lead\" (home track) sounds\n"
        "Cut (1 note): stops where the next note starts\n"
        "  bar 3  3:1 (MML bar 2)  TR3  D4 from track 4 \"pad \\xFF\\x01 <&>\" cut at 3:2 (MML bar 2) by 240 ticks (1/2 beat), where the next note starts\n"
        "Ignored (1 note-off): without a note-on\n"
        "  bar 4  4:1:80 (MML bar 3)  TR3  note-off of B4 from track 4 \"pad \\xFF\\x01 <&>\", channel 3, without a note-on: ignored\n"
        "\n";

constexpr const char* kEveryReasonSummary =
        "SUMMARY\n"
        "  Notes in the file                             19\n"
        "  Reach the output unchanged                    8\n"
        "  Cut                                           2\n"
        "    lost time to another source track           1\n"
        "    stops where the next note starts            1\n"
        "  Merged into chords                            3  (1 chord)\n"
        "  Dropped                                       6\n"
        "    note-on never released                      1\n"
        "    note-on and note-off at the same tick       1\n"
        "    another source track had all of its time    1\n"
        "    another note of its group kept (TR4, TR5)   2\n"
        "    shorter than one MML tick                   1\n"
        "  Note-offs without a note-on (ignored)         1\n"
        "\n"
        "SOURCE TRACKS\n"
        "  track 1 \"Where did <my> notes go? & \"why\"\": conductor track (tempo and names; plays no notes)\n"
        "  track 2 \"lead\": 2 notes -> TR1 (base chip), by default; home track there\n"
        "  track 3 \"trx1 solo\": 3 notes -> TR1 (base chip), by its name's trx directive; not the home track there\n"
        "  track 4 \"pad \\xFF\\x01 <&>\": 8 notes -> TR3 (base chip), by default; home track there\n"
        "  track 5 \"trx4 drums\": 3 notes -> TR4 (base chip, noise), by its name's trx directive; not the home track there\n"
        "  track 6 \"trx5 samples\": 2 notes -> TR5 (base chip, DPCM samples), by its name's trx directive; not the home track there\n"
        "  track 7 \"trx7 strings\": 1 note -> TR7 (VRC6), by its name's trx directive; not the home track there\n"
        "\n"
        "OUTPUT TRACKS\n";

constexpr const char* kEveryReasonTracks =
        "TR1 (base chip): 4 notes or chords to write, from track 2 \"lead\" (home), track 3 \"trx1 solo\"\n"
        "  problems: 3 (listed under PROBLEMS)\n"
        "TR3 (base chip): 4 notes or chords to write, from track 4 \"pad \\xFF\\x01 <&>\" (home)\n"
        "  problems: 5 (listed under PROBLEMS); chords: 1 (listed with --all)\n"
        "TR4 (base chip, noise): 2 notes or chords to write, from track 5 \"trx4 drums\"\n"
        "  problems: 1 (listed under PROBLEMS)\n"
        "TR5 (base chip, DPCM samples): 1 note or chord to write, from track 6 \"trx5 samples\"\n"
        "  problems: 1 (listed under PROBLEMS)\n";

constexpr const char* kEveryReasonTracksAll =
        "TR1 (base chip): 4 notes or chords to write, from track 2 \"lead\" (home), track 3 \"trx1 solo\"\n"
        "  1:1 - 1:2              B4 from track 3 \"trx1 solo\" dropped: track 2 \"lead\" (home track) sounds all through it\n"
        "  1:2 - 1:3              G5 from track 3 \"trx1 solo\" silent here: track 2 \"lead\" (home track) sounds\n"
        "  2:1 (MML bar 1) - 2:2  G5 from track 3 \"trx1 solo\" silent here: track 2 \"lead\" (home track) sounds\n"
        "TR3 (base chip): 4 notes or chords to write, from track 4 \"pad \\xFF\\x01 <&>\" (home)\n"
        "  2:1 (MML bar 1)      chord C4 E4 G4 from track 4 \"pad \\xFF\\x01 <&>\" plays C4 with arpeggio En2 \"L 0 4 7\" from [ApMap] 1 (program 1)\n"
        "  3:1 (MML bar 2)      D4 from track 4 \"pad \\xFF\\x01 <&>\" cut at 3:2 (MML bar 2) by 240 ticks (1/2 beat), where the next note starts\n"
        "  4:1 (MML bar 3)      A4 from track 4 \"pad \\xFF\\x01 <&>\", channel 3: note-on never released, dropped\n"
        "  4:1:80 (MML bar 3)   note-off of B4 from track 4 \"pad \\xFF\\x01 <&>\", channel 3, without a note-on: ignored\n"
        "  4:1:180 (MML bar 3)  C3 from track 4 \"pad \\xFF\\x01 <&>\" dropped: note-on and note-off at the same tick\n"
        "  4:2 (MML bar 3)      D3 from track 4 \"pad \\xFF\\x01 <&>\" lasting 3 ticks vanishes: start and end round to the same MML tick (480)\n"
        "TR4 (base chip, noise): 2 notes or chords to write, from track 5 \"trx4 drums\"\n"
        "  1:1  C2 (36) dropped, D2 (38) at 1:1:20 kept: TR4 plays one note of a group starting within a 32nd\n"
        "TR5 (base chip, DPCM samples): 1 note or chord to write, from track 6 \"trx5 samples\"\n"
        "  1:1  E2 (40) dropped, F2 (41) at 1:1:10 kept: TR5 plays one note of a group starting within a 32nd\n";

constexpr const char* kEveryReasonTail =
        "TR7 (VRC6): 1 note or chord to write, from track 7 \"trx7 strings\"\n"
        "  every note as played\n"
        "Empty output tracks: TR2, TR6\n"
        "\n"
        "VOICES AND LEVELS\n"
        "  voice 1 (program 1): TR1 levels 11, 12; TR3 level 3\n"
        "  voice 1038 (noise note D2): TR4 level 12; no [EvMap] entry: flat volume; no [E@Map] entry: voice body \"0\"; no [EnMap] entry: pitch shape \"0\"\n"
        "  voice 1042 (noise note F#2): TR4 level 9; no [EvMap] entry: flat volume; no [E@Map] entry: voice body \"0\"; no [EnMap] entry: pitch shape \"0\"\n"
        "  voice 3041 (program 41): TR7 level 12; no [EvMap] entry: flat volume; no [E@Map] entry: voice body \"0\"\n"
        "  Voices without an [EvMap] entry (flat volume \"level R 0\"): 1038, 1042, 3041\n"
        "  Voices without an [E@Map] entry (body \"0\"): 1038, 1042, 3041\n"
        "  Noise voices without an [EnMap] entry (pitch shape \"0\"): 1038, 1042\n"
        "\n"
        "ENVELOPES\n"
        "  Em0: vibrato from [EmoMap] 64 \"0 1 2 1 0 -1 -2 -1\"\n"
        "  Em1: pitch bend (30 frames)\n"
        "  En2: arpeggio \"L 0 4 7\" from [ApMap] 1 (program 1)\n"
        "  En3: TR4 pitch shape of voice 1038 (no [EnMap] entry: 0)\n"
        "  En4: TR4 pitch shape of voice 1042 (no [EnMap] entry: 0)\n"
        "  Made: 1 vibrato, 1 arpeggio, 1 pitch bend, 2 TR4 pitch shapes (an envelope can hold several)\n"
        "\n"
        "TEMPO\n"
        "  1:1               120 BPM\n"
        "  3:1 (MML bar 2)   150 BPM\n"
        "  The output starts at 120 BPM; every change is written on TR29. Envelope frames follow the starting tempo.\n";

std::string everyReasonReport(bool all) {
    return std::string(kEveryReasonHead) + kEveryReasonProblems + kEveryReasonSummary +
           (all ? kEveryReasonTracksAll : kEveryReasonTracks) + kEveryReasonTail;
}

TEST(ReportCommand, EveryDecisionReadsAsReviewed) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), everyReasonSong());
    writeText(dir.file("tve.txt"), kEveryReasonMapping);
    for (const bool all : {false, true}) {
        const auto r = runReport(all ? std::vector<std::string>{"--all", "song.mid"} : std::vector<std::string>{"song.mid"},
                                 dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, everyReasonReport(all)) << (all ? "--all" : "");
        EXPECT_EQ(r.log, "");
    }
    EXPECT_FALSE(fs::exists(dir.file("song.mml")));
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The piano roll is well-formed XML even with markup characters and bytes
// that are not UTF-8 in the names, and renders without error.
TEST(ReportCommand, SvgPianoRollParsesAndRenders) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), everyReasonSong());
    writeText(dir.file("tve.txt"), kEveryReasonMapping);
    const auto r = runReport({"--svg", "roll.svg", "song.mid"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, everyReasonReport(false));
    const std::string svg = readText(dir.file("roll.svg"));
    EXPECT_NE(svg.find("Where did &lt;my&gt; notes go? &amp; &quot;why&quot;"), std::string::npos);
    EXPECT_NE(svg.find("<title>G5 (79), track 3 &quot;trx1 solo&quot;, 1:2 to 2:2: cut, lost time to another source "
                       "track</title>"),
              std::string::npos);
    for (const char* lane : {">TR1<", ">TR3<", ">TR4<", ">TR5<", ">TR7<", ">VRC6<"}) {
        EXPECT_NE(svg.find(lane), std::string::npos) << lane;
    }
    // Each lane names its source tracks and their MIDI channels; a line too
    // long for the label column is cut, and its tooltip holds it whole.
    for (const char* source : {"</title>track 2 &quot;lead&quot;, ch 1</text>",
                               "</title>track 3 &quot;trx1 solo&quot;, ch 2</text>",
                               "</title>track 5 &quot;trx4 drums&quot;, ch 10</text>",
                               "<title>track 4 &quot;pad \\xFF\\x01 &lt;&amp;&gt;&quot;, ch 3</title>"
                               "track 4 &quot;pad \\xFF\\x01...&quot;, ch 3</text>"}) {
        EXPECT_NE(svg.find(source), std::string::npos) << source;
    }
    // A short song has every bar drawn and numbered: four bars of 3/4, one of
    // 4/4 and the closing line.
    EXPECT_EQ(countOf(svg, "<line "), 6u);
    EXPECT_NE(svg.find(">6</text>"), std::string::npos);

    const auto parsed = runCommand("xmllint --noout roll.svg", dir.path());
    EXPECT_EQ(parsed.status, 0) << parsed.log;
    const auto rendered = runCommand("rsvg-convert roll.svg -o roll.png", dir.path());
    EXPECT_EQ(rendered.status, 0) << rendered.log;
    EXPECT_GT(fs::exists(dir.file("roll.png")) ? fs::file_size(dir.file("roll.png")) : 0u, 1000u);
}

// More than 28 source tracks, and no directive: the converter refuses the song.
std::vector<uint8_t> tooManyTracks() {
    std::vector<TrackBuilder> tracks(30);
    for (int i = 0; i < 30; ++i) tracks[static_cast<size_t>(i)].note(0, 480, 0, 60, 100);
    return buildMidi(tracks, 480);
}

// One note from tick 0 to `end` under a meter of `numerator`/2^`power`,
// with a text event wherever a delta time would not fit in four bytes.
std::vector<uint8_t> oneLongNote(int division, uint8_t numerator, uint8_t power, int32_t end,
                                 uint32_t usPerQuarter = 500000) {
    TrackBuilder track;
    track.tempo(0, usPerQuarter).raw(0, meter(numerator, power)).note(0, end, 0, 60, 100);
    for (int64_t tick = 0x0FFFFFFF; tick < end; tick += 0x0FFFFFFF) track.text(static_cast<int32_t>(tick), "");
    return buildMidi({track}, division);
}

// 28 tracks, each with one note near the end of the 32-bit MML range: the
// rests alone would take over a gigabyte of text.
std::vector<uint8_t> tooLongToWrite() {
    std::vector<TrackBuilder> tracks(28);
    for (TrackBuilder& t : tracks) t.note(44739240, 44739241, 0, 60, 100);
    return buildMidi(tracks, 1);
}

// Where the converter stops, the report stops with the same message and status.
TEST(ReportCommand, FailsExactlyWhereTheConverterFails) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"format 0", buildMidi({TrackBuilder().note(0, 480, 0, 60)}, 480, 0),
         "error only supported MIDI is Format 1.\n"},
        {"not a MIDI file", {'h', 'e', 'l', 'l', 'o'}, "read error\n"},
        {"30 tracks", tooManyTracks(), "error: trx destination exceeds TR28\n"},
        {"a song too long to write", tooLongToWrite(),
         "error: the document would be larger than 268435456 bytes; the song is far too long to convert\n"},
        {"a note too long for the envelope frames", oneLongNote(1, 4, 2, 10000000),
         "error: too many envelope frames: the note at tick 0 on TR1 takes the song past 33554432 frames\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), c.bytes);
        const auto converter = runBinary({"song.mid"}, dir.path());
        const auto report = runReport({"song.mid"}, dir.path());
        EXPECT_EQ(converter.out, c.message) << c.name;
        EXPECT_EQ(report.out, c.message) << c.name;
        EXPECT_EQ(report.status, 1) << c.name;
        EXPECT_EQ(converter.status, 1) << c.name;
    }
    TempDir dir;
    const auto missing = runReport({"missing.mid"}, dir.path());
    EXPECT_EQ(missing.out, "read error\n");
    EXPECT_EQ(missing.status, 1);

    // A malformed number: the report shows the place tonequill logs, then its message.
    writeText(dir.file("tve.txt"), "[EVMAP]\n[EvMap]\n1{x}\n");
    writeBytes(dir.file("song.mid"), everyReasonSong());
    const auto badMapping = runReport({"song.mid"}, dir.path());
    const auto converter = runBinary({"song.mid"}, dir.path());
    const std::string hints =
        "[TVE] warning: tve.txt:1: unknown section \"[EVMAP]\" (did you mean \"[EvMap]\"?); the line is skipped, and "
        "so are the lines after it up to the next known section\n"
        "[TVE] tve.txt:3 [EvMap]: \"x\" is not a number\n";
    EXPECT_NE(converter.log.find("[TVE] OPEN OK\n" + hints), std::string::npos) << converter.log;
    EXPECT_EQ(badMapping.out, hints + converter.out);
    EXPECT_EQ(badMapping.status, 1);
}

// Songs spanning hundreds of millions of bars with a note or two: the
// picture is drawn at the size of its notes, with its bar lines and numbers
// thinned to a readable spacing, and still parses.
TEST(ReportCommand, SvgOfAVastRangeOfBarsStaysSmallAndReadable) {
    struct Case {
        const char* name;
        std::vector<uint8_t> midi;
    };
    std::vector<Case> cases = {
        {"one note of 2^31-1 ticks in bars of one tick",
         oneLongNote(32768, 1, 17, std::numeric_limits<int32_t>::max())},
        {"150 million quarter notes, a bar each", oneLongNote(1, 1, 2, 150000000, 1)},
    };
    // A new meter every tick: thousands of bars of their own at the start.
    TrackBuilder meters;
    meters.note(0, 200000000, 0, 60, 100);
    for (int32_t tick = 0; tick < 3000; ++tick) meters.raw(tick, meter(tick % 2 ? 3 : 1, 15));
    cases.push_back({"3000 meters a tick apart", buildMidi({meters}, 8192)});

    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), c.midi);
        const auto r = runReport({"--svg", "roll.svg", "song.mid"}, dir.path());
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.out;
        const std::string svg = readText(dir.file("roll.svg"));
        EXPECT_LT(svg.size(), 100000u) << c.name;
        std::smatch width;
        ASSERT_TRUE(std::regex_search(svg, width, std::regex("<svg[^>]* width=\"([0-9.]+)\""))) << c.name;
        EXPECT_LT(std::stod(width[1]), 3000.0) << c.name;

        // Bar lines left to right, never closer than 2 pixels; numbers 14 apart.
        const std::regex line("<line x1=\"([0-9.]+)\"");
        double previous = -10.0;
        size_t lines = 0;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), line); it != std::sregex_iterator(); ++it) {
            const double at = std::stod((*it)[1]);
            EXPECT_GE(at - previous, 2.0) << c.name << " at " << at;
            previous = at;
            ++lines;
        }
        EXPECT_GT(lines, 100u) << c.name << ": the bars are still shown";
        const std::regex label("<text x=\"([0-9.]+)\" y=\"70.0\" font-size=\"10\"");
        previous = -100.0;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), label); it != std::sregex_iterator(); ++it) {
            const double at = std::stod((*it)[1]);
            EXPECT_GE(at - previous, 14.0) << c.name << " at " << at;
            previous = at;
        }
        const auto parsed = runCommand("xmllint --noout roll.svg", dir.path());
        EXPECT_EQ(parsed.status, 0) << c.name << ": " << parsed.log;
    }
}

// A name is repeated in the tooltip of every note of its track: a long one
// is cut short there, between characters, so the picture grows by little a note.
TEST(ReportCommand, SvgTooltipsCutLongTrackNamesShort) {
    // 80 bytes of label would end inside the two-byte character.
    const std::string kept(70, 'x');
    std::string name = kept + "\xC3\xA9";
    for (int i = 0; i < 2000; ++i) name += "lead ";
    TrackBuilder track;
    track.name(0, name);
    for (int32_t i = 0; i < 500; ++i) track.note(i * 240, i * 240 + 120, 0, 60 + i % 12, 100);
    TempDir dir;
    writeBytes(dir.file("song.mid"), buildMidi({track}, 480));
    const auto r = runReport({"--svg", "roll.svg", "song.mid"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string svg = readText(dir.file("roll.svg"));
    EXPECT_LT(svg.size(), 500u * 600u);
    // Every note's tooltip, and the lane label's.
    EXPECT_EQ(countOf(svg, "track 1 &quot;" + kept + "...&quot;, "), 501u);
    const auto parsed = runCommand("xmllint --noout roll.svg", dir.path());
    EXPECT_EQ(parsed.status, 0) << parsed.log;
}

// Generated: one [EvMap] line of `count` volume values for voice 1.
std::string longVolumeMapping(size_t count) {
    std::string line = "[EvMap]\n1{";
    for (size_t i = 0; i < count; ++i) line += (i ? "," : "") + std::to_string(i % 16);
    return line + "}\n";
}

// The report measures the document as the converter writes it (CR LF line
// breaks) against the converter's limit, and stops with its message.
TEST(ReportCommand, StopsAtTheConvertersDocumentLimit) {
    TempDir dir;
    const std::vector<uint8_t> midi = everyReasonSong();
    const std::string mapping = longVolumeMapping(20000);
    writeBytes(dir.file("song.mid"), midi);
    writeText(dir.file("tve.txt"), mapping);
    const std::string input = dir.file("song.mid");
    const std::string svg = dir.file("roll.svg");

    constexpr int64_t kLimit = 64 << 10;
    std::string document;
    std::ostringstream converterOut, log;
    const int converterStatus = runInMemory(midi, mapping, document, converterOut, log, kLimit);
    EXPECT_EQ(converterStatus, 1);
    EXPECT_EQ(converterOut.str(),
              "error: the document would be larger than 65536 bytes; the song is far too long to convert\n");
    std::ostringstream reportOut;
    EXPECT_EQ(runReportCommand({"--svg", svg, input}, reportOut, kLimit), converterStatus);
    EXPECT_EQ(reportOut.str(), converterOut.str());
    EXPECT_FALSE(fs::exists(svg));

    // The limit falls exactly where the converter's document file ends.
    const auto converted = runBinary({"song.mid"}, dir.path());
    ASSERT_EQ(converted.status, 0) << converted.out;
    const auto fileBytes = static_cast<int64_t>(fs::file_size(dir.file("song.mml")));
    EXPECT_GT(fileBytes, 3 * 20000);
    std::ostringstream exact, under;
    EXPECT_EQ(runReportCommand({input}, exact, fileBytes), 0) << exact.str();
    EXPECT_EQ(runReportCommand({input}, under, fileBytes - 1), 1);
    EXPECT_EQ(under.str(), "error: the document would be larger than " + std::to_string(fileBytes - 1) +
                               " bytes; the song is far too long to convert\n");
}

TEST(ReportCommand, HelpVersionAndUsage) {
    TempDir dir;
    const auto help = runReport({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tonequill-report [--all] [--svg FILE] input.mid\n", 0), 0u) << help.out;
    EXPECT_EQ(runReport({}, dir.path()).out, help.out);
    const auto version = runReport({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tonequill-report ") + kVersion + "\n");
    const auto unknown = runReport({"--colour", "song.mid"}, dir.path());
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out.rfind("error: unknown option --colour\n", 0), 0u) << unknown.out;
    const auto twoSongs = runReport({"a.mid", "b.mid"}, dir.path());
    EXPECT_EQ(twoSongs.status, 1);
    EXPECT_EQ(twoSongs.out.rfind("error: one song at a time: a.mid and b.mid were given\n", 0), 0u) << twoSongs.out;
    const auto noFile = runReport({"song.mid", "--svg"}, dir.path());
    EXPECT_EQ(noFile.status, 1);
    EXPECT_EQ(noFile.out.rfind("error: --svg needs a file name\n", 0), 0u) << noFile.out;
}

// The mapping file is found as the converter finds it: beside the input first.
TEST(ReportCommand, MappingFileBesideTheInputElseInTheWorkingDirectory) {
    TempDir dir;
    fs::create_directories(dir.path() / "music");
    writeBytes(dir.file("music/song.mid"), everyReasonSong());
    auto mappingLine = [&] { return linesOf(runReport({"music/song.mid"}, dir.path()).out).at(1); };
    EXPECT_EQ(mappingLine(), "Mapping file: tve.txt (not found: voices and envelopes use their defaults)");
    writeText(dir.file("tve.txt"), kEveryReasonMapping);
    EXPECT_EQ(mappingLine(), "Mapping file: tve.txt");
    writeText(dir.file("music/tve.txt"), kEveryReasonMapping);
    EXPECT_EQ(mappingLine(), "Mapping file: music/tve.txt");
}

struct Outcome {
    int status = 0;
    std::string document;
    std::string out;
    std::string log;
};

// The run of the converter on a song in memory, with or without an observer.
Outcome observedRun(const std::vector<uint8_t>& midi, const std::string& mapping, PrepObserver* observer) {
    RunIo io;
    io.loadMapping = [&](MappingTables& tables, std::ostream&, HintLines&) { parseMappingText(tables, mapping); };
    io.probeFormat = [&] { return probeMidiFormatBytes(midi); };
    io.readMidi = [&](MidiFile& file, std::string& reason) { return readMidiBytes(file, midi, reason); };
    Outcome o;
    io.storeDocument = [&](const std::function<void(std::ostream&)>& write) {
        std::ostringstream text;
        write(text);
        o.document += text.str();
    };
    std::ostringstream out, log;
    o.status = runConversion(io, out, log, observer, {});
    o.out = out.str();
    o.log = log.str();
    return o;
}

// Listening to the preparation changes nothing the converter writes: the
// document, the messages and the log are the same byte for byte as the
// converter's own run, with the report's observer and without one.
TEST(ReportObserver, ConverterOutputIsTheSameWithAndWithoutAnObserver) {
    const fs::path source = TONEQUILL_SOURCE_DIR;
    struct Song {
        const char* name;
        std::vector<uint8_t> midi;
        std::string mapping;
    };
    const std::string demo = readText((source / "examples/demo.mid").string());
    TrackBuilder conductor;
    conductor.name(0, "Demo").tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60, 127).note(960, 1440, 0, 62, 127);
    const std::vector<Song> songs = {
        {"demo", std::vector<uint8_t>(demo.begin(), demo.end()), readText((source / "examples/tve.txt").string())},
        {"preparation log", routedSong(), ""},
        {"two notes", buildMidi({conductor, lead}, 480), ""},
        {"every reason", everyReasonSong(), kEveryReasonMapping},
        {"too many tracks", tooManyTracks(), ""},
    };
    for (const Song& song : songs) {
        std::string document;
        std::ostringstream out, log;
        const int status = runInMemory(song.midi, song.mapping, document, out, log);
        DecisionRecorder recorder;
        for (PrepObserver* observer : {static_cast<PrepObserver*>(&recorder), static_cast<PrepObserver*>(nullptr)}) {
            const Outcome o = observedRun(song.midi, song.mapping, observer);
            const char* with = observer ? " with an observer" : " without one";
            EXPECT_EQ(o.status, status) << song.name << with;
            EXPECT_EQ(o.document, document) << song.name << with;
            EXPECT_EQ(o.out, out.str()) << song.name << with;
            EXPECT_EQ(o.log, log.str()) << song.name << with;
        }
        EXPECT_EQ(status == 0, !recorder.routed.empty()) << song.name << ": the observer heard the notes";
    }
}

}  // namespace
}  // namespace tonequill::testing
