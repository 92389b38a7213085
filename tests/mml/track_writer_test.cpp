#include "mml/track_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "common/conversion_error.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::addCombo;
using testing::addNote;
using testing::makeNote;
using testing::makeSong;
using testing::TestNote;
using testing::TestSong;

struct TrackCase {
    const char* what;
    int32_t index;
    std::vector<TestNote> notes;
    std::vector<Combination> combos;
    const char* text;
};

// Timebase 48 with MIDI ticks equal to MML ticks: a quarter is 48, a bar 192.
const TrackCase kTrackCases[] = {
    {"empty track", 0, {}, {}, "TR1\n\n\n"},
    {"empty noise track", 3, {}, {}, "TR4 o5\n\n\n"},
    {"first note at tick 0 has no rest", 0, {makeNote(60, 0, 48)}, {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c4\n\n"},
    {"rest of two and a half bars", 0, {makeNote(60, 480, 528)}, {{1, 15, 1}},
     "TR1\nr1\nr1\nr2E@1Ev0Em*En*o4c4\n\n"},
    {"rest from inside a bar is cut at the bar line", 0, {makeNote(60, 0, 48), makeNote(62, 288, 336)}, {{1, 15, 1}},
     "TR1\nE@1Ev0Em*En*o4c4r2.\nr2d4\n\n"},
    {"note across a bar line is tied", 0, {makeNote(62, 96, 288)}, {{1, 15, 1}}, "TR1\nr2E@1Ev0Em*En*o4d2^\n2\n\n"},
    {"note over two bar lines", 0, {makeNote(60, 0, 432)}, {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c1^\n1^\n4\n\n"},
    {"note ending on the bar line", 0, {makeNote(60, 0, 192)}, {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c1\n\n\n"},
    {"octaves up and down", 0,
     {makeNote(60, 0, 48), makeNote(72, 48, 96), makeNote(84, 96, 144), makeNote(48, 144, 192)}, {{1, 15, 1}},
     "TR1\nE@1Ev0Em*En*o4c4>c4>c4<<<c4\n\n\n"},
    {"note below 12 is octave -1", 0, {makeNote(5, 0, 48), makeNote(13, 48, 96)}, {{1, 15, 1}},
     "TR1\nE@1Ev0Em*En*o-1f4>c+4\n\n"},
    {"sharps are written with a plus", 0,
     {makeNote(61, 0, 24), makeNote(63, 24, 48), makeNote(66, 48, 72), makeNote(68, 72, 96), makeNote(70, 96, 120),
      makeNote(71, 120, 144)},
     {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c+8d+8f+8g+8a+8b8\n\n"},
    {"zero-length note writes its rest and switches only", 0, {makeNote(60, 48, 48), makeNote(62, 96, 144)},
     {{1, 15, 1}}, "TR1\nr4E@1Ev0Em*En*r4o4d4\n\n"},
    {"overlapping note follows at full length and pulls the cursor back", 0,
     {makeNote(60, 0, 192), makeNote(62, 48, 96), makeNote(64, 144, 192)}, {{1, 15, 1}},
     "TR1\nE@1Ev0Em*En*o4c1\nd4r4e4\n\n\n"},
    {"notes are taken by start, then end", 0, {makeNote(64, 96, 144), makeNote(60, 0, 96), makeNote(62, 0, 48)},
     {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4d4c2e4\n\n"},
    {"voice change writes E@ and Ev again", 0,
     {makeNote(60, 0, 48, 127, 0), makeNote(62, 48, 96, 127, 1), makeNote(64, 96, 144, 127, 0)},
     {{1, 15, 1}, {2, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c4E@2Ev1d4E@1Ev0e4\n\n"},
    {"level change writes Ev alone", 0, {makeNote(60, 0, 48, 127), makeNote(62, 48, 96, 64)},
     {{1, 15, 1}, {1, 8, 1}}, "TR1\nE@1Ev0Em*En*o4c4Ev1d4\n\n"},
    {"missing combination keeps the Ev in force", 0, {makeNote(60, 0, 48, 127), makeNote(62, 48, 96, 64)},
     {{1, 15, 1}}, "TR1\nE@1Ev0Em*En*o4c4d4\n\n"},
    {"first note without combination writes no Ev", 0, {makeNote(60, 0, 48)}, {}, "TR1\nE@1Em*En*o4c4\n\n"},
    {"TR3 writes octave note/12 on 5 levels", 2, {makeNote(60, 0, 48)}, {{1, 4, 3}}, "TR3\nE@1Ev0Em*En*o5c4\n\n"},
    {"TR4 writes c with the note as voice and its record as En", 3,
     {makeNote(36, 0, 48, 127, 5, 0), makeNote(38, 48, 96, 127, 5, 1), makeNote(36, 96, 144, 127, 5, 0),
      makeNote(40, 144, 240, 127, 5, -1)},
     {{1036, 15, 4}, {1038, 15, 4}, {1040, 15, 4}},
     "TR4 o5\nE@1036Ev0En0c4E@1038Ev1En1c4E@1036Ev0En0c4E@1040Ev2En*c4^\n4\n\n"},
    {"TR5 writes an absolute octave on every note and no switches", 4,
     {makeNote(36, 0, 48), makeNote(38, 48, 96), makeNote(50, 144, 240)}, {}, "TR5\no4c4o4d4r4o5d4^\n4\n\n"},
    {"TR6 writes octave note/12+1 with voices from 2001 on 33 levels", 5,
     {makeNote(60, 0, 48), makeNote(48, 48, 96, 127, 2)}, {{2001, 32, 6}, {2003, 32, 6}},
     "TR6\nE@2001Ev0Em*En*o6c4E@2003Ev1<c4\n\n"},
    {"TR7 voices start at 3001", 6, {makeNote(60, 0, 48)}, {{3001, 15, 7}}, "TR7\nE@3001Ev0Em*En*o4c4\n\n"},
};

TEST(TrackText, WritesRestsSwitchesPitchesAndLengths) {
    for (const TrackCase& c : kTrackCases) {
        TestSong song = makeSong(7);
        for (const TestNote& note : c.notes) addNote(song, c.index, note);
        for (const Combination& combo : c.combos) addCombo(song, combo.voice, combo.level, combo.trackNumber);
        std::ostringstream log;
        EXPECT_EQ(trackText(song, song.envelopes, song.combos, c.index, log), c.text) << c.what;
    }
}

TEST(TrackText, ScalesMidiTicksRoundingHalfUp) {
    TestSong song = makeSong(1, 48, 480);
    addNote(song, 0, makeNote(60, 0, 480));
    addNote(song, 0, makeNote(62, 960, 1440));
    addCombo(song, 1, 15, 1);
    std::ostringstream log;
    EXPECT_EQ(trackText(song, song.envelopes, song.combos, 0, log), "TR1\nE@1Ev0Em*En*o4c4r4d4\n\n");
    EXPECT_EQ(log.str(), "[TR1] start\n[TR1] notes=2\n");

    // 5 x 0.1 + 0.5 reaches 1 and 485 x 0.1 + 0.5 reaches 49.
    TestSong halves = makeSong(1, 48, 480);
    addNote(halves, 0, makeNote(60, 5, 485));
    addCombo(halves, 1, 15, 1);
    EXPECT_EQ(trackText(halves, halves.envelopes, halves.combos, 0, log), "TR1\nr192E@1Ev0Em*En*o4c4\n\n");
}

TEST(TrackText, SwitchesEmAndEnByTheRecordsParts) {
    TestSong song = makeSong(1);
    EnvelopeRecords& records = song.envelopes.records;
    records.resize(3);
    records[0].hasEm = true;
    records[1].hasEn = true;
    records[2].hasEm = true;
    records[2].hasEn = true;
    const int32_t envelopes[] = {0, 0, 1, 2, -1};
    for (int32_t i = 0; i < 5; ++i) addNote(song, 0, makeNote(60, 48 * i, 48 * (i + 1), 127, 0, envelopes[i]));
    addCombo(song, 1, 15, 1);
    std::ostringstream log;
    EXPECT_EQ(trackText(song, song.envelopes, song.combos, 0, log), "TR1\nE@1Ev0Em0En*o4c4c4Em*En1c4Em2En2c4\nEm*En*c4\n\n");
}

TEST(TrackText, VoiceChangeRewritesEvEvenWithTheSameNumber) {
    TestSong song = makeSong(1);
    addNote(song, 0, makeNote(60, 0, 48, 127, 0));
    addNote(song, 0, makeNote(62, 48, 96, 127, 1));
    song.combos.index[ComboKey{1, 15, 1}] = 0;
    song.combos.index[ComboKey{2, 15, 1}] = 0;
    std::ostringstream log;
    EXPECT_EQ(trackText(song, song.envelopes, song.combos, 0, log), "TR1\nE@1Ev0Em*En*o4c4E@2Ev0d4\n\n");
}

TEST(TrackText, StopsWhenAPlaceDoesNotFitIn32Bits) {
    // 48 MML ticks per MIDI tick: 100000000 would be MML tick 4800000000.
    for (const auto& [start, end] : {std::pair{100000000, 100000001}, std::pair{0, 2147483647}}) {
        TestSong song = makeSong(2, 48, 1);
        addNote(song, 1, makeNote(60, start, end));
        std::ostringstream log;
        try {
            trackText(song, song.envelopes, song.combos, 1, log);
            ADD_FAILURE() << "no error for " << start << ".." << end;
        } catch (const ConversionError& e) {
            const std::string tick = std::to_string(start == 0 ? end : start);
            EXPECT_THAT(e.what(), ::testing::HasSubstr("TR2: MIDI tick " + tick + " gives an MML tick beyond"));
        }
    }
}

TEST(TrackText, StopsOnANoteWhoseEnvelopeRecordIsMissing) {
    TestSong song = makeSong(1);
    addNote(song, 0, makeNote(60, 96, 144, 127, 0, 3));
    std::ostringstream log;
    EXPECT_THROW(trackText(song, song.envelopes, song.combos, 0, log), ConversionError);
}

TEST(PitchText, MovesByStepsAfterTheFirstAbsoluteOctave) {
    TrackState state;
    EXPECT_EQ(pitchText(60, 4, state, false), "o4c");
    EXPECT_EQ(pitchText(86, 6, state, false), ">>d");
    EXPECT_EQ(pitchText(59, 3, state, false), "<<<b");
    EXPECT_EQ(pitchText(59, 3, state, true), "o3b");
    EXPECT_EQ(state.octave, 3);
    EXPECT_FALSE(state.octaveUnset);
}

TEST(EnvelopeSwitch, WritesOnlyChangesAndStarForNone) {
    TextSink text(nullptr);
    int32_t last = std::numeric_limits<int32_t>::min();
    envelopeSwitch(text, "Em", -1, last);
    envelopeSwitch(text, "Em", -1, last);
    envelopeSwitch(text, "Em", 7, last);
    envelopeSwitch(text, "Em", 0, last);
    EXPECT_EQ(text.take(), "Em*Em7Em0");
    EXPECT_EQ(last, 0);
}

}  // namespace
}  // namespace tonequill
