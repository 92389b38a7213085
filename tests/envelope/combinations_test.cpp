#include "envelope/combinations.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "envelope/combo_numbering.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::SongFixture;

std::string combosText(const PreparedSong& song) {
    std::string out;
    for (const Combination& c : song.combos) {
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
        buildCombinations(f.tables, f.song);
        ASSERT_EQ(f.song.combos.size(), 1u) << c.output << " " << c.velocity;
        EXPECT_EQ(f.song.combos[0].level, c.level) << "TR" << c.output + 1 << " velocity " << c.velocity;
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
    buildCombinations(f.tables, f.song);
    EXPECT_EQ(combosText(f.song), "4/8/TR1 4/9/TR1 4/8/TR2 1036/15/TR4 2001/32/TR6 3001/15/TR7 4001/42/TR9 ");
    EXPECT_EQ(f.song.comboIndex.size(), f.song.combos.size());
    EXPECT_EQ(f.song.comboIndex.at(ComboKey{4, 8, 2}), 2);
    EXPECT_EQ(f.song.usedVoices, (std::set<int32_t>{4, 1036, 2001, 3001, 4001}));
    EXPECT_EQ(f.note(8).envelopeIndex, -1);
}

TEST(BuildCombinations, OnlySampleTrackNotesGiveNoCombinations) {
    SongFixture f(5, 1);
    f.add(4, 0, 0, 10);
    buildCombinations(f.tables, f.song);
    EXPECT_TRUE(f.song.combos.empty());
    EXPECT_TRUE(f.song.usedVoices.empty());
    EXPECT_TRUE(f.tables.records.empty());
}

TEST(BuildCombinations, NoiseNotesGetOneRecordPerVoiceAfterTheOtherRecords) {
    SongFixture f(4, 1);
    f.tables.records.resize(2);  // records of the pitch envelopes
    f.tables.enMap[1036] = {"0", "1", "2"};
    f.tables.enMap[1038] = {"L", "0", "-1"};
    f.tables.enMap[1040] = {};
    const int32_t a = f.add(3, 0, 0, 10, 36);
    const int32_t b = f.add(3, 0, 10, 20, 38);
    const int32_t c = f.add(3, 0, 20, 30, 36, 30);  // same voice at another level
    const int32_t d = f.add(3, 0, 30, 40, 40);
    const int32_t e = f.add(3, 0, 40, 50, 41);
    buildCombinations(f.tables, f.song);

    EXPECT_EQ(f.note(a).envelopeIndex, 2);
    EXPECT_EQ(f.note(b).envelopeIndex, 3);
    EXPECT_EQ(f.note(c).envelopeIndex, 2);
    EXPECT_EQ(f.note(d).envelopeIndex, 4);
    EXPECT_EQ(f.note(e).envelopeIndex, 5);
    ASSERT_EQ(f.tables.records.size(), 6u);
    EXPECT_EQ(f.tables.enRecordPc, (std::map<int32_t, int32_t>{{2, 1036}, {3, 1038}, {4, 1040}, {5, 1041}}));

    const EnvelopeRecord& numbers = f.tables.records[2];
    EXPECT_TRUE(numbers.hasEn && !numbers.hasEm && !numbers.enVerbatim);
    EXPECT_EQ(numbers.enValues, (std::vector<int32_t>{0, 1, 2}));
    const EnvelopeRecord& tokens = f.tables.records[3];
    EXPECT_TRUE(tokens.hasEn && tokens.enVerbatim);
    EXPECT_EQ(tokens.enTokens.spelled(), (TokenList{"L", "0", "-1"}));
    EXPECT_EQ(f.tables.records[4].enValues, (std::vector<int32_t>{0}));  // empty entry
    EXPECT_EQ(f.tables.records[5].enValues, (std::vector<int32_t>{0}));  // no entry
    EXPECT_TRUE(f.tables.valuePairIndex.empty());
    EXPECT_EQ(f.song.combos.size(), 5u);
}

TEST(BuildCombinations, ANoiseNumberBeyond32BitsIsTheStandardRangeError) {
    SongFixture f(4, 1);
    f.tables.enMap[1036] = {"1", "99999999999"};
    f.add(3, 0, 0, 10, 36);
    try {
        buildCombinations(f.tables, f.song);
        FAIL() << "expected std::out_of_range";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "stoi argument out of range");
    }
}

// Tracks are planned one by one (on several threads in a run) and numbered
// in track order: a voice out of range stops the numbering where one pass
// over the tracks would have stopped, with that note's message.
TEST(BuildCombinations, AVoiceOutOfRangeStopsTheNumberingAtTheFirstTrackThatMeetsOne) {
    SongFixture f(3, 1);
    f.add(0, 0, 0, 10, 60, 100, 3);
    f.add(1, 0, 0, 10, 60, 100, 5);                                   // numbered before the failing note
    f.add(1, 0, 20, 30, 60, 100, std::numeric_limits<int32_t>::max());  // TR2's voice leaves 32 bits
    f.add(2, 0, 0, 10, 60, 100, std::numeric_limits<int32_t>::max());   // so does TR3's, later in track order
    try {
        buildCombinations(f.tables, f.song);
        FAIL() << "expected a conversion error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "voice number out of range: the note at tick 20 on TR2 gives 2147483648");
    }
    EXPECT_EQ(combosText(f.song), "4/12/TR1 6/12/TR2 ");
}

TEST(ComboNumber, ATripleKeepsItsFirstNumber) {
    PreparedSong song;
    EXPECT_EQ(comboNumber(song, 5, 3, 1), 0);
    EXPECT_EQ(comboNumber(song, 5, 3, 2), 1);
    EXPECT_EQ(comboNumber(song, 5, 3, 1), 0);
    EXPECT_EQ(comboNumber(song, -5, 3, 1), 2);
    ASSERT_EQ(song.combos.size(), 3u);
    EXPECT_EQ(song.combos[2].voice, -5);
}

}  // namespace
}  // namespace tonequill
