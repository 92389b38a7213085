#include "envelope/note_sources.h"

#include <gtest/gtest.h>

namespace tonequill {
namespace {

TEST(ControllerValueAt, TakesTheLastEventNotAfterTheTick) {
    const BulkList<ControlChange> events{{10, 0, 1, 5}, {20, 0, 1, 6}, {20, 0, 1, 7}, {30, 0, 1, 8}};
    EXPECT_EQ(controllerValueAt(events, 9, -1), -1);
    EXPECT_EQ(controllerValueAt(events, 10, -1), 5);
    EXPECT_EQ(controllerValueAt(events, 25, -1), 7);
    EXPECT_EQ(controllerValueAt(events, 1000, -1), 8);
    EXPECT_EQ(controllerValueAt({}, 10, 0), 0);
}

TEST(PickVibrato, TakesTheSmallestKeyNotBelowTheDepth) {
    MappingTables tables;
    tables.emoMap[32] = {"1", "2"};
    tables.emoMap[64] = {"3"};
    tables.emoMap[100] = {};
    struct Case {
        int32_t modulation;
        bool hasEmo;
        const char* name;
    };
    const Case cases[] = {
        {0, false, ""},   {-3, false, ""}, {1, true, "32"},  {32, true, "32"},
        {40, true, "64"}, {64, true, "64"}, {65, false, ""},  // key 100 has no tokens
        {101, false, ""},                                       // above the largest key
    };
    for (const Case& c : cases) {
        const VibratoChoice choice = pickVibrato(tables, c.modulation);
        EXPECT_EQ(choice.hasEmo, c.hasEmo) << c.modulation;
        EXPECT_EQ(choice.name, c.name) << c.modulation;
    }
    EXPECT_EQ(pickVibrato(tables, 40).tokens, (TokenList{"3"}));
}

TEST(PickArpeggio, ControllerTwelveAndProgramRules) {
    MappingTables tables;
    tables.apCcMap[70] = {"U1"};
    tables.apCcMap[10] = {"D1"};
    tables.apCcMap[80] = {};
    tables.apPcMap[6] = {"L", "U2"};  // program 5
    PreparedNote single;
    PreparedNote chord;
    chord.isChord = true;
    chord.chordIntervals = {0, 4, 7};
    PreparedNote chordProgram5 = chord;
    chordProgram5.program = 5;

    struct Case {
        const char* what;
        const PreparedNote* note;
        int32_t cc12;
        bool hasAp;
        TokenList tokens;
        const char* apText;
    };
    const Case cases[] = {
        {"single, cc12 70 with entry", &single, 70, true, {"U1"}, "E70"},
        {"single, cc12 10 with entry", &single, 10, false, {}, ""},
        {"single, no cc12", &single, -1, false, {}, ""},
        {"single, cc12 71 without entry", &single, 71, false, {}, ""},
        {"single, cc12 80 with empty entry", &single, 80, false, {}, ""},
        {"chord, cc12 70 with entry", &chord, 70, true, {"U1"}, "E70"},
        {"chord, no cc12, no program entry", &chord, -1, true, {"L", "U1"}, "1"},
        {"chord, program entry", &chordProgram5, -1, true, {"L", "U2"}, "6"},
        {"chord, cc12 10 replaces the program entry", &chordProgram5, 10, true, {"D1"}, "E10"},
        {"chord, cc12 11 without entry", &chordProgram5, 11, true, {"L", "U2"}, "6"},
        {"chord, cc12 0 with no entry", &chord, 0, true, {"L", "U1"}, "1"},
        {"chord, cc12 80 with empty entry", &chord, 80, false, {}, "E80"},
    };
    for (const Case& c : cases) {
        const ArpeggioChoice choice = pickArpeggio(tables, *c.note, c.cc12);
        EXPECT_EQ(choice.hasAp, c.hasAp) << c.what;
        EXPECT_EQ(choice.tokens, c.tokens) << c.what;
        if (c.hasAp) {
            EXPECT_EQ(choice.apText, c.apText) << c.what;
        }
    }
}

TEST(PickArpeggio, ChordWithControllerTwelveAtZeroAndAnEntryStillUsesItsProgram) {
    MappingTables tables;
    tables.apCcMap[0] = {"D1"};
    PreparedNote chord;
    chord.isChord = true;
    const ArpeggioChoice choice = pickArpeggio(tables, chord, 0);
    EXPECT_EQ(choice.tokens, (TokenList{"L", "U1"}));
    EXPECT_EQ(choice.apText, "1");
}

}  // namespace
}  // namespace tonequill
