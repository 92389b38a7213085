#include "envelope/token_expansion.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;

TEST(ExpandArpeggio, SpellsTokensForTheChordIntervals) {
    struct Case {
        TokenList tokens;
        std::vector<int32_t> intervals;
        TokenList expected;
    };
    const Case cases[] = {
        {{"U1"}, {0, 4, 7}, {"0", "4", "7"}},
        {{"D2"}, {0, 4, 7}, {"7", "7", "4", "4", "0", "0"}},
        {{"L", "U1"}, {0, 4, 7}, {"L", "0", "4", "7"}},
        {{"l", "u", "d"}, {0, 3}, {"L", "0", "3", "3", "0"}},
        {{"U2"}, {}, {"0", "0"}},                       // no intervals: the single interval 0
        {{"U0", "U-3", "Ux"}, {0, 5}, {"0", "5", "0", "5", "0", "5"}},  // a count below 1 or malformed is 1
        {{"+3", "-2", "12", "", "x", "Lx"}, {0, 4}, {"+3", "-2", "12"}},  // numbers kept as written
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandArpeggio(c.tokens, c.intervals), c.expected) << ::testing::PrintToString(c.tokens);
    }
}

TEST(ExpandArpeggio, RepeatCountBeyond32BitsIsTheStandardRangeError) {
    EXPECT_THROW(expandArpeggio({"U99999999999"}, {0}), std::out_of_range);
}

TEST(ExpandArpeggio, AHugeRepeatCountIsCappedPerTone) {
    const TokenList out = expandArpeggio({"U2000000000", "L", "7"}, {0, 4});
    ASSERT_EQ(out.size(), 2u * kMaxArpeggioRepeat + 2);
    EXPECT_EQ(out[kMaxArpeggioRepeat - 1], "0");
    EXPECT_EQ(out[kMaxArpeggioRepeat], "4");
    EXPECT_EQ(out[2 * kMaxArpeggioRepeat - 1], "4");
    EXPECT_EQ(out[2 * kMaxArpeggioRepeat], "L");
    // A count at the cap is spelled out in full.
    EXPECT_EQ(expandArpeggio({"D4096"}, {0, 4}).size(), 2u * 4096);
}

TEST(ExpandValueTokens, HoldsLoopsAndFillsTheNote) {
    struct Case {
        TokenList tokens;
        int32_t frames;
        Values expected;
    };
    const Case cases[] = {
        {{"0", "5", "D3", "L", "0"}, 9, {0, 5, 5, 5, 5, 5, 0, 0, 0}},
        {{"1", "2"}, 5, {1, 2, 1, 2, 1}},                     // no "L": the whole list loops
        {{"1", "L", "2", "3"}, 6, {1, 2, 3, 2, 3, 2}},
        {{}, 3, {0, 0, 0}},
        {{"x", "L"}, 2, {0, 0}},
        {{"4", "D", "2", "1"}, 6, {4, 4, 4, 4, 1, 4}},        // "D" 2 holds three more
        {{"4", "D", "-5", "1"}, 4, {4, 4, 1, 4}},             // "D" n holds at least once
        {{"D", "3", "4"}, 2, {4, 4}},                         // a hold before any value consumes its number
        {{"4", "D"}, 3, {4, 4, 4}},                           // "D" last: once more
        {{"4", "D", "x", "1"}, 3, {4, 4, 1}},                 // "D" before a non-number: once more
        {{"4", "D-2", "1"}, 3, {4, 4, 1}},                    // negative hold: once more
        {{"4", "d1", "1"}, 4, {4, 4, 4, 1}},
        {{"+7", "-3"}, 3, {7, -3, 7}},
        {{"1", "2", "3", "4"}, 2, {1, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandValueTokens(c.tokens, c.frames), c.expected) << ::testing::PrintToString(c.tokens);
    }
    EXPECT_THROW(expandValueTokens({"1", "D", "99999999999"}, 3), std::out_of_range);
}

TEST(ExpandValueTokens, AHugeHoldBuildsOnlyTheFramesOfTheNote) {
    // D2000000000 would be two billion values; the note reads five.
    EXPECT_EQ(expandValueTokens({"3", "D2000000000", "L", "9"}, 5), (Values{3, 3, 3, 3, 3}));
    EXPECT_EQ(expandValueTokens({"3", "D", "2147483647"}, 4), (Values{3, 3, 3, 3}));
    EXPECT_EQ(expandValueTokens({"1", "L", "2", "D2147483647"}, 4), (Values{1, 2, 2, 2}));
}

TEST(ExpandNoteTokens, NumbersAndLoopOnly) {
    EXPECT_EQ(expandNoteTokens({"L", "0", "4", "7"}, 7), (Values{0, 4, 7, 0, 4, 7, 0}));
    EXPECT_EQ(expandNoteTokens({"12", "L", "0", "4"}, 5), (Values{12, 0, 4, 0, 4}));
    EXPECT_EQ(expandNoteTokens({"5", "D3", "x"}, 3), (Values{5, 5, 5}));  // no holds: "D3" is skipped
    EXPECT_EQ(expandNoteTokens({"L"}, 2), (Values{0, 0}));
    EXPECT_EQ(expandNoteTokens({"1", "2", "3"}, 2), (Values{1, 2}));
}

TEST(ExpandNoteTokens, AHugeArpeggioKeepsTheNotesOwnFrames) {
    const Values out = expandNoteTokens(expandArpeggio({"L", "U2000000000"}, {0, 4}), 10);
    EXPECT_EQ(out, Values(10, 0));
}

}  // namespace
}  // namespace tonequill
