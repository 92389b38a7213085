#include "envelope/combinations.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "envelope/combo_numbering.h"
#include "envelope/value_list.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::SongFixture;

std::string combosText(const ComboTable& combos) {
    std::string out;
    for (const Combination& c : combos.list) {
        out += std::to_string(c.voice) + "/" + std::to_string(c.level) + "/TR" + std::to_string(c.trackNumber) + " ";
    }
    return out;
}

TEST(BuildCombinations, LevelsScaleVelocityToTheTracksLevels) {
    struct Case {
        int32_t output;
        int32_t velocity;
        int32_t level;
    };
    const Case cases[] = {
        {0, 127, 15}, {0, 64, 8}, {0, 1, 0},  // 16 levels
        {2, 127, 4},  {2, 64, 2},             // TR3: 5 levels
        {5, 127, 32}, {5, 64, 16},            // TR6: 33 levels
        {8, 127, 42}, {8, 64, 21},            // TR9: 43 levels
        {3, 127, 15}, {3, 64, 8},             // TR4: 16 levels
    };
    for (const Case& c : cases) {
        SongFixture f(9, 1);
        f.add(c.output, 0, 0, 10, 60, c.velocity);
        f.numberCombos();
        ASSERT_EQ(f.combos.list.size(), 1u) << c.output << " " << c.velocity;
        EXPECT_EQ(f.combos.list[0].level, c.level) << "TR" << c.output + 1 << " velocity " << c.velocity;
    }
}

TEST(BuildCombinations, VoicesAndNumberingInFirstSeenOrder) {
    SongFixture f(9, 1);
    f.add(8, 0, 0, 10, 60, 127, 0);   // TR9: voice 4001
    f.add(0, 0, 50, 60, 60, 64, 3);   // TR1, later in time
    f.add(0, 0, 0, 10, 60, 70, 3);    // TR1: voice 4, level 8 (same as velocity 64)
    f.add(0, 0, 20, 30, 60, 72, 3);   // level 9: a new combination
    f.add(1, 0, 0, 10, 60, 64, 3);    // TR2: same voice and level, another track
    f.add(5, 0, 0, 10, 60, 127, 0);   // TR6: voice 2001
    f.add(6, 0, 0, 10, 60, 127, 0);   // TR7: voice 3001
    f.add(3, 0, 0, 10, 36, 127, 9);   // TR4: voice 1036 from the note
    f.add(4, 0, 0, 10, 40, 127, 0);   // TR5: no combination
    f.numberCombos();
    EXPECT_EQ(combosText(f.combos), "4/8/TR1 4/9/TR1 4/8/TR2 1036/15/TR4 2001/32/TR6 3001/15/TR7 4001/42/TR9 ");
    EXPECT_EQ(f.combos.index.size(), f.combos.list.size());
    EXPECT_EQ(f.combos.index.at(ComboKey{4, 8, 2}), 2);
    EXPECT_EQ(f.combos.usedVoices, (std::set<int32_t>{4, 1036, 2001, 3001, 4001}));
    EXPECT_EQ(f.envelopeOf(8), -1);
}

TEST(BuildCombinations, OnlySampleTrackNotesGiveNoCombinations) {
    SongFixture f(5, 1);
    f.add(4, 0, 0, 10);
    f.numberCombos();
    EXPECT_TRUE(f.combos.list.empty());
    EXPECT_TRUE(f.combos.usedVoices.empty());
    EXPECT_TRUE(f.envelopes.records.empty());
}

TEST(BuildCombinations, NoiseNotesGetOneRecordPerVoiceAfterTheOtherRecords) {
    SongFixture f(4, 1);
    f.envelopes.records.resize(2);  // records of the pitch envelopes
    f.tables.enMap[1036] = {"0", "1", "2"};
    f.tables.enMap[1038] = {"L", "0", "-1"};
    f.tables.enMap[1040] = {};
    const int32_t a = f.add(3, 0, 0, 10, 36);
    const int32_t b = f.add(3, 0, 10, 20, 38);
    const int32_t c = f.add(3, 0, 20, 30, 36, 30);  // same voice at another level
    const int32_t d = f.add(3, 0, 30, 40, 40);
    const int32_t e = f.add(3, 0, 40, 50, 41);
    f.numberCombos();

    EXPECT_EQ(f.envelopeOf(a), 2);
    EXPECT_EQ(f.envelopeOf(b), 3);
    EXPECT_EQ(f.envelopeOf(c), 2);
    EXPECT_EQ(f.envelopeOf(d), 4);
    EXPECT_EQ(f.envelopeOf(e), 5);
    ASSERT_EQ(f.envelopes.records.size(), 6u);
    EXPECT_EQ(f.envelopes.enRecordPc, (std::map<int32_t, int32_t>{{2, 1036}, {3, 1038}, {4, 1040}, {5, 1041}}));

    const EnvelopeRecord& numbers = f.envelopes.records[2];
    EXPECT_TRUE(numbers.hasEn && !numbers.hasEm && !numbers.enVerbatim);
    EXPECT_EQ(numbers.enValues, (ValueList{0, 1, 2}));
    const EnvelopeRecord& tokens = f.envelopes.records[3];
    EXPECT_TRUE(tokens.hasEn && tokens.enVerbatim);
    EXPECT_EQ(tokens.enTokens.spelled(), (TokenList{"L", "0", "-1"}));
    EXPECT_EQ(f.envelopes.records[4].enValues, (ValueList{0}));  // empty entry
    EXPECT_EQ(f.envelopes.records[5].enValues, (ValueList{0}));  // no entry
    EXPECT_EQ(f.combos.list.size(), 5u);
}

TEST(BuildCombinations, ANoiseNumberBeyond32BitsIsTheStandardRangeError) {
    SongFixture f(4, 1);
    f.tables.enMap[1036] = {"1", "99999999999"};
    f.add(3, 0, 0, 10, 36);
    try {
        f.numberCombos();
        FAIL() << "expected std::out_of_range";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "stoi argument out of range");
    }
}

// Tracks are numbered in track order: a voice out of range stops the
// numbering at the first track that meets one, with that note's message.
TEST(BuildCombinations, AVoiceOutOfRangeStopsTheNumberingAtTheFirstTrackThatMeetsOne) {
    SongFixture f(3, 1);
    f.add(0, 0, 0, 10, 60, 100, 3);
    f.add(1, 0, 0, 10, 60, 100, 5);                                   // numbered before the failing note
    f.add(1, 0, 20, 30, 60, 100, std::numeric_limits<int32_t>::max());  // TR2's voice leaves 32 bits
    f.add(2, 0, 0, 10, 60, 100, std::numeric_limits<int32_t>::max());   // so does TR3's, later in track order
    try {
        f.numberCombos();
        FAIL() << "expected a conversion error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "voice number out of range: the note at tick 20 on TR2 gives 2147483648");
    }
}

TEST(ComboNumber, ATripleKeepsItsFirstNumber) {
    ComboTable combos;
    EXPECT_EQ(comboNumber(combos, 5, 3, 1), 0);
    EXPECT_EQ(comboNumber(combos, 5, 3, 2), 1);
    EXPECT_EQ(comboNumber(combos, 5, 3, 1), 0);
    EXPECT_EQ(comboNumber(combos, -5, 3, 1), 2);
    ASSERT_EQ(combos.list.size(), 3u);
    EXPECT_EQ(combos.list[2].voice, -5);
}

}  // namespace
}  // namespace tonequill
