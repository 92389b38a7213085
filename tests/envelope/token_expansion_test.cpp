#include "envelope/token_expansion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "mapping/number_text.h"

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;

// The arpeggio rules read literally: one string per token.
TokenList plainArpeggio(const TokenList& tokens, std::vector<int32_t> intervals) {
    if (intervals.empty()) intervals = {0};
    std::stable_sort(intervals.begin(), intervals.end());
    TokenList out;
    for (const std::string& token : tokens) {
        if (token.empty()) continue;
        if (token == "L" || token == "l") {
            out.emplace_back("L");
        } else if (token[0] == 'U' || token[0] == 'u' || token[0] == 'D' || token[0] == 'd') {
            const std::string rest = token.substr(1);
            const int32_t r = !rest.empty() && isIntegerToken(rest) ? std::max(1, parseInt32(rest)) : 1;
            std::vector<int32_t> order = intervals;
            if (token[0] == 'D' || token[0] == 'd') std::reverse(order.begin(), order.end());
            for (const int32_t interval : order) out.insert(out.end(), static_cast<size_t>(r), std::to_string(interval));
        } else if (isIntegerToken(token)) {
            out.push_back(token);
        }
    }
    return out;
}

using Runs = std::vector<std::pair<std::string, int32_t>>;

Runs runsOf(const TokenRuns& tokens) {
    Runs out;
    for (const TokenRun& run : tokens.runs) out.emplace_back(tokens.token(run), run.count);
    return out;
}

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
        {{"4", "U1", "04"}, {4}, {"4", "4", "04"}},       // equal texts merge; "04" stays its own token
    };
    for (const Case& c : cases) {
        const TokenRuns out = expandArpeggio(c.tokens, c.intervals);
        EXPECT_EQ(out.spelled(), c.expected) << ::testing::PrintToString(c.tokens);
        EXPECT_EQ(out.size, static_cast<int64_t>(c.expected.size()));
    }
}

TEST(ExpandArpeggio, RepeatCountBeyond32BitsIsTheStandardRangeError) {
    EXPECT_THROW(expandArpeggio({"U99999999999"}, {0}), std::out_of_range);
}

// Every count is spelled out in full, with no ceiling per token.
TEST(ExpandArpeggio, LargeRepeatCountsAreExact) {
    struct Case {
        TokenList tokens;
        std::vector<int32_t> intervals;
    };
    const Case cases[] = {
        {{"L", "U5000"}, {0, 4}},
        {{"U4097", "D4097"}, {0, 4, 7}},
        {{"D65536", "L", "U100000"}, {-12, 12}},
        {{"U4096", "U4096", "U4096", "U4096"}, {0, 7}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandArpeggio(c.tokens, c.intervals).spelled(), plainArpeggio(c.tokens, c.intervals))
            << ::testing::PrintToString(c.tokens);
    }
    EXPECT_EQ(runsOf(expandArpeggio({"L", "U5000"}, {0, 4})), (Runs{{"L", 1}, {"0", 5000}, {"4", 5000}}));
}

TEST(ExpandArpeggio, CountsOfBillionsAreHeldAsRuns) {
    constexpr int32_t kMost = TokenRuns::kMostPerRun;
    const TokenRuns out = expandArpeggio({"U2000000000", "L", "7"}, {0, 4});
    EXPECT_EQ(runsOf(out), (Runs{{"0", 2000000000}, {"4", 2000000000}, {"L", 1}, {"7", 1}}));
    EXPECT_EQ(out.size, 4000000002);
    // A run is full at 2^31 - 1 tokens; the rest of a longer stretch starts the next.
    const TokenRuns twice = expandArpeggio({"U2147483647", "D2147483647", "U1"}, {3});
    EXPECT_EQ(runsOf(twice), (Runs{{"3", kMost}, {"3", kMost}, {"3", 1}}));
    EXPECT_EQ(twice.size, 2 * int64_t{kMost} + 1);
    // The same tokens reached another way hold the same runs.
    const TokenRuns other = expandArpeggio({"3", "U2147483647", "D2147483646", "u"}, {3});
    EXPECT_EQ(twice, other);
    EXPECT_EQ(tokenRunsHash(twice), tokenRunsHash(other));
    EXPECT_FALSE(twice == expandArpeggio({"U2147483647", "D2147483647"}, {3}));
}

// Generated token lists: the runs spell what the rules spell, equal runs mean
// equal spellings, and a note reads the same values from either.
TEST(ExpandArpeggio, RunsMatchThePlainSpellingOnGeneratedLists) {
    std::mt19937 random(17);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::vector<std::string> pieces = {"L", "l", "U", "D", "u", "d", "x", "", "0", "+4", "-3", "4", "7", "04"};
    std::vector<std::pair<TokenRuns, TokenList>> made;
    for (int round = 0; round < 300; ++round) {
        TokenList tokens;
        const int count = pick(8);
        for (int i = 0; i < count; ++i) {
            std::string token = pieces[static_cast<size_t>(pick(static_cast<int>(pieces.size())))];
            if ((token == "U" || token == "D" || token == "u" || token == "d") && pick(3) > 0) {
                token += std::to_string(pick(6) - 1);
            }
            tokens.push_back(token);
        }
        std::vector<int32_t> intervals;
        const int notes = pick(4);
        for (int i = 0; i < notes; ++i) intervals.push_back(pick(3) * 4 - 1 + pick(2));
        const TokenRuns runs = expandArpeggio(tokens, intervals);
        const TokenList plain = plainArpeggio(tokens, intervals);
        ASSERT_EQ(runs.spelled(), plain) << ::testing::PrintToString(tokens);
        ASSERT_EQ(runs, TokenRuns::of(plain));
        for (const int32_t frames : {0, 1, 2, 5, 13}) {
            ASSERT_EQ(expandNoteTokens(runs, frames), expandNoteTokens(plain, frames))
                << ::testing::PrintToString(tokens) << " frames " << frames;
        }
        made.emplace_back(runs, plain);
    }
    for (size_t a = 0; a < made.size(); a += 7) {
        for (size_t b = 0; b < made.size(); ++b) {
            ASSERT_EQ(made[a].first == made[b].first, made[a].second == made[b].second);
            if (made[a].second == made[b].second) {
                ASSERT_EQ(tokenRunsHash(made[a].first), tokenRunsHash(made[b].first));
            }
        }
    }
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
    EXPECT_EQ(expandNoteTokens(expandArpeggio({"L", "U2000000000"}, {0, 4}), 10), Values(10, 0));
    EXPECT_EQ(expandNoteTokens(expandArpeggio({"U3", "L", "D2000000000"}, {0, 4}), 10),
              (Values{0, 0, 0, 4, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(expandNoteTokens(expandArpeggio({"1", "U2147483647", "L", "9"}, {5}), 3), (Values{1, 5, 5}));
    // A number beyond 32 bits fails the note even where the note never reads it.
    EXPECT_THROW(expandNoteTokens(expandArpeggio({"U2000000000", "L", "99999999999"}, {0}), 4), std::out_of_range);
}

}  // namespace
}  // namespace tonequill
