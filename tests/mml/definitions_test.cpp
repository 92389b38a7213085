#include "mml/definitions.h"
#include "plain_loop_search.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::addCombo;
using testing::makeSong;
using testing::TestSong;
using testing::plainValueListBody;

std::vector<int32_t> distinctThenRepeating(int32_t leadIn, int32_t periods) {
    std::vector<int32_t> values;
    for (int32_t i = 0; i < leadIn; ++i) values.push_back(1000 + i);
    for (int32_t i = 0; i < periods; ++i) {
        values.push_back(1);
        values.push_back(2);
    }
    return values;
}

std::string distinctRuns(int32_t count) {
    std::string text;
    for (int32_t i = 0; i < count; ++i) text += std::to_string(1000 + i) + " ";
    return text;
}

std::string repeated(const std::string& text, int32_t times) {
    std::string out;
    for (int32_t i = 0; i < times; ++i) out += text;
    return out;
}

TEST(ValueListBody, ChoosesTheCheapestLoopOrNone) {
    struct Case {
        const char* what;
        std::vector<int32_t> values;
        std::string body;
    };
    const Case cases[] = {
        {"empty list", {}, ""},
        {"loop after a lead-in", {5, 5, 5, 4, 3, 2, 3, 2, 3, 2}, "5 D1 4 L 3 2 "},
        {"loop without lead-in", {1, 2, 1, 2, 1, 2, 1, 2}, "L 1 2 "},
        {"smallest lead-in wins, a run of two is D0", {9, 9, 1, 2, 1, 2, 1, 2, 1, 2}, "9 D0 L 1 2 "},
        {"partial last period still repeats", {4, 1, 2, 3, 1, 2, 3, 1, 2}, "4 L 1 2 3 "},
        {"loop not worth it", {7, 7, 7, 7, 7, 7, 7, 7}, "7 D6 "},
        {"seven values are never looped", {1, 2, 1, 2, 1, 2, 1}, "1 2 1 2 1 2 1 "},
        {"short run", {0, 0, 0, 0}, "0 D2 "},
        {"no repeating tail", {-3, 0, 0, 5, 6, 7, 8, 9}, "-3 0 D0 5 6 7 8 9 "},
        {"lead-in of cost 62 is used", distinctThenRepeating(62, 20), distinctRuns(62) + "L 1 2 "},
        {"lead-in of cost 63 is never used", distinctThenRepeating(63, 20), distinctRuns(63) + repeated("1 2 ", 20)},
    };
    for (const Case& c : cases) EXPECT_EQ(valueListBody(c.values), c.body) << c.what;
}

TEST(ValueListBody, AgreesWithThePlainSearchOnManyLists) {
    std::mt19937 random(12345);
    for (int32_t round = 0; round < 3000; ++round) {
        const std::size_t n = random() % 90;
        const int32_t alphabet = 1 + static_cast<int32_t>(random() % 3);
        const std::size_t leadIn = random() % (n + 1);
        const std::size_t period = 1 + random() % 6;
        std::vector<int32_t> values;
        for (std::size_t i = 0; i < n; ++i) {
            // A random lead-in, then a tail that mostly repeats with some runs.
            if (i < leadIn || i < leadIn + period || random() % 40 == 0) {
                values.push_back(static_cast<int32_t>(random() % static_cast<uint32_t>(alphabet)));
            } else {
                values.push_back(values[i - period]);
            }
        }
        ASSERT_EQ(valueListBody(values), plainValueListBody(values)) << "round " << round;
    }
}

TEST(RunText, WritesRunsAndCountsTheirTokens) {
    const std::vector<int32_t> values{7, 7, 7, 3, -2, -2};
    EXPECT_EQ(runText(values, 0, 3), "7 D1 ");
    EXPECT_EQ(runText(values, 2, 6), "7 3 -2 D0 ");
    EXPECT_EQ(runCost(values, 0, 6), 5u);
    EXPECT_EQ(runCost(values, 2, 6), 4u);
    EXPECT_EQ(runText(values, 3, 3), "");
    EXPECT_EQ(runText(values, 0, 7), "");
    EXPECT_EQ(runCost(values, 4, 2), 0u);
    EXPECT_EQ(runCost(values, 0, 7), 0u);
}

// Runs written plainly, one value at a time.
std::string plainRunText(const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to;) {
        std::size_t j = i;
        while (j < to && values[j] == values[i]) ++j;
        text += std::to_string(values[i]) + " ";
        if (j - i >= 2) text += "D" + std::to_string(j - i - 2) + " ";
        i = j;
    }
    return text;
}

// Values inside and outside the small numbers kept as ready texts, runs of
// one to a few thousand, ranges starting and ending anywhere in a block.
TEST(RunText, GivesThePlainRunsWhateverTheValuesAndRanges) {
    std::mt19937 random(77);
    const int32_t values[] = {0, -1, 7, 1023, 1024, -1024, -1025, 99999, -2147483647 - 1, 2147483647};
    const std::size_t lengths[] = {1, 1, 2, 3, 1024, 1025, 1026, 1027, 5000};
    for (int round = 0; round < 300; ++round) {
        std::vector<int32_t> list;
        while (list.size() < 3000) {
            const int32_t value = random() % 3 == 0 ? values[random() % 10] : static_cast<int32_t>(random() % 41) - 20;
            list.insert(list.end(), random() % 4 == 0 ? lengths[random() % 9] : 1 + random() % 3, value);
        }
        const std::size_t from = random() % 200;
        const std::size_t to = from + random() % (list.size() - from + 1);
        ASSERT_EQ(runText(list, from, to), plainRunText(list, from, to)) << "round " << round;
    }
}

TEST(VolumeBody, ScalesTheShapeToTheLevel) {
    MappingTables tables;
    tables.evMap[1].items = {{0, 15, ""}, {0, 12, ""}, {1, 0, "L"}, {0, 10, ""}, {1, 0, "R"}, {0, 0, ""}, {0, -5, ""}};
    struct Case {
        int32_t level;
        int32_t maxLevel;
        const char* body;
    };
    const Case cases[] = {
        {8, 15, "8 6 L 5 R 0 -3 "},     {15, 15, "15 12 L 10 R 0 -5 "}, {0, 15, "0 0 L 0 R 0 0 "},
        {2, 4, "8 6 L 5 R 0 -3 "},      {8, 32, "4 3 L 3 R 0 -1 "},     {14, 42, "5 4 L 3 R 0 -2 "},
        {20, 15, "15 12 L 10 R 0 -5 "}, {3, 0, "0 0 L 0 R 0 0 "},       {3, -1, "0 0 L 0 R 0 0 "},
    };
    for (const Case& c : cases) EXPECT_EQ(volumeBody(1, c.level, c.maxLevel, tables), c.body) << c.level;
    EXPECT_EQ(volumeBody(2, 12, 15, tables), "12 R 0");
}

TEST(VoiceAndTokenBodies, WriteTokensWithBlanks) {
    MappingTables tables;
    tables.eAtMap[1] = {"3", "L", "1"};
    tables.eAtMap[2] = {};
    EXPECT_EQ(voiceBody(1, tables), "3 L 1 ");
    EXPECT_EQ(voiceBody(2, tables), "");
    EXPECT_EQ(voiceBody(3, tables), "0");
    EXPECT_EQ(tokenBody({"a", "b"}), "a b ");
    EXPECT_EQ(tokenBody({}), "");
}

TEST(WriteDefinitions, EmptySongGivesFourBareSections) {
    std::ostringstream out;
    writeDefinitions(out, MappingTables{}, EnvelopeTable{}, ComboTable{});
    EXPECT_EQ(out.str(), "#OffsetEv 100000\n\n\n#OffsetEm 200000\n\n\n#OffsetEn 300000\n\n\n#OffsetE@ 400000\n\n");
}

TEST(WriteDefinitions, WritesEverySectionWithItsCommentsAndGaps) {
    MappingTables tables;
    tables.evMap[2001].items = {{0, 32, ""}, {0, 16, ""}, {1, 0, "R"}, {0, 0, ""}};
    tables.evMap[4001].items = {{0, 42, ""}};
    tables.evMap[1].items = {{0, 4, ""}};
    tables.eAtMap[1] = {"7", "8"};
    tables.eAtMap[1036] = {};

    TestSong song = makeSong(9);
    song.envelopes.records.resize(6);
    EnvelopeRecord& vibrato = song.envelopes.records[0];
    vibrato.hasEm = true;
    vibrato.emValues = {0, 0, 0, 1, 2, 1, 2, 1, 2, 1};
    vibrato.hasEmo = true;
    vibrato.emoName = "vib3";
    vibrato.plusPb = true;
    vibrato.hasAp = true;
    vibrato.apText = "maj";
    // Record 1 has neither part and leaves a gap in both sections.
    EnvelopeRecord& both = song.envelopes.records[2];
    both.hasEm = true;
    both.emVerbatim = true;
    both.emTokens = {"0", "L", "4"};
    both.hasEn = true;
    both.enValues = {0, 4, 7};
    both.hasAp = true;
    both.apWithEm = true;
    both.apText = "E5";
    EnvelopeRecord& arpeggio = song.envelopes.records[3];
    arpeggio.hasEn = true;
    arpeggio.enValues = {0, 3};
    arpeggio.hasAp = true;
    arpeggio.apWithEm = true;  // no Em part: no " Em" in the comment
    arpeggio.apText = "min";
    EnvelopeRecord& bend = song.envelopes.records[4];
    bend.hasEm = true;
    bend.emValues = {};
    bend.hasEn = true;
    bend.enValues = {1, 1};
    EnvelopeRecord& noise = song.envelopes.records[5];
    noise.hasEn = true;
    noise.enVerbatim = true;
    noise.enTokens = TokenRuns::of({"0", "L", "1"});
    noise.hasAp = true;  // the TR4 voice comment wins
    noise.apText = "x";
    song.envelopes.enRecordPc[5] = 1036;

    addCombo(song, 1, 15, 1);
    addCombo(song, 1, 2, 3);
    addCombo(song, 1036, 15, 4);
    addCombo(song, 2001, 16, 6);
    addCombo(song, 4001, 21, 9);
    song.combos.usedVoices.insert(2147483647);

    std::ostringstream out;
    writeDefinitions(out, tables, song.envelopes, song.combos);
    EXPECT_EQ(out.str(),
              "#OffsetEv 100000\n\n"
              "E(100000){4 }\t// PC  1\tVel  15\n"
              "E(100001){2 }\t// PC  1\tVel  2\n"
              "E(100002){15 R 0}\t// PC  1036\tVel  15\n"
              "E(100003){16 8 R 0 }\t// PC  2001\tVel  16\n"
              "E(100004){21 }\t// PC  4001\tVel  21\n"
              "\n"
              "#OffsetEm 200000\n\n"
              "E(200000){0 D1 L 1 2 }\t// Emo vib3 +PB +Ap maj\n"
              "E(200002){0 L 4 }\t// Em 2\n"
              "E(200004){}\t// Em 4\n"
              "\n"
              "#OffsetEn 300000\n\n"
              "E(300002){0 4 7 }\t//Ap E5 Em 2\n"
              "E(300003){0 3 }\t//Ap min\n"
              "E(300004){1 D0 }\t// En 4\n"
              "E(300005){0 L 1 }\t// PC  1036\n"
              "\n"
              "#OffsetE@ 400000\n"
              "E(400001){7 8 }\t// PC 1\n"
              "E(401036){}\t// PC 1036\n"
              "E(402001){0}\t// PC 2001\n"
              "E(404001){0}\t// PC 4001\n"
              "E(2147883647){0}\t// PC 2147483647\n"
              "\n");
}

}  // namespace
}  // namespace tonequill
