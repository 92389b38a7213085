// The loop search of the envelope definitions gives the same bodies as the
// search read literally (every lead-in, every period, every tail checked
// value by value), on lists shaped like real envelopes: long held values,
// lead-ins close to the cost limit, periods that break near the end. The
// search by rolling hash, with no memory per value, gives what the search by
// borders gives, also on lists far too long for the literal search and where
// its hash clashes or its checks run out.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <sstream>

#include "mml/definitions.h"
#include "mml/loop_search.h"
#include "plain_loop_search.h"

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;
using testing::plainValueListBody;

// Runs of random lengths (often long), a lead-in of distinct values, then a
// period of runs repeated, sometimes broken or cut.
Values envelopeLike(std::mt19937& random) {
    auto pick = [&](uint32_t n) { return static_cast<int32_t>(random() % n); };
    Values values;
    const int32_t leadIn = pick(4) == 0 ? 55 + pick(12) : pick(20);
    for (int32_t i = 0; i < leadIn; ++i) values.insert(values.end(), 1 + pick(pick(3) == 0 ? 12 : 2), 100 + i);
    Values period;
    const int32_t runs = 1 + pick(5);
    for (int32_t r = 0; r < runs; ++r) period.insert(period.end(), 1 + pick(pick(2) == 0 ? 9 : 2), pick(4) - 1);
    const int32_t repeats = 1 + pick(8);
    for (int32_t r = 0; r < repeats; ++r) values.insert(values.end(), period.begin(), period.end());
    values.resize(values.size() - static_cast<std::size_t>(pick(static_cast<uint32_t>(period.size()))));
    if (pick(5) == 0 && !values.empty()) values[static_cast<std::size_t>(pick(static_cast<uint32_t>(values.size())))] = 7;
    if (pick(6) == 0) values.insert(values.end(), static_cast<std::size_t>(1 + pick(40)), values.empty() ? 0 : values.back());
    return values;
}

void expectSameChoice(const LoopChoice& got, const LoopChoice& want, const std::string& what) {
    EXPECT_EQ(got.looped, want.looped) << what;
    EXPECT_EQ(got.start, want.start) << what;
    EXPECT_EQ(got.period, want.period) << what;
}

TEST(LoopSearch, GivesTheLiteralBodyOnEnvelopeShapedLists) {
    std::mt19937 random(2024);
    for (int round = 0; round < 1500; ++round) {
        const Values values = envelopeLike(random);
        ASSERT_EQ(valueListBody(values), plainValueListBody(values)) << "round " << round << ", " << values.size() << " values";
    }
}

TEST(LoopSearch, RollingHashAndBordersAgreeWhateverTheChecksMayCost) {
    std::mt19937 random(99);
    for (int round = 0; round < 1500; ++round) {
        const Values values = envelopeLike(random);
        const LoopChoice want = chooseLoopByBorders(values);
        const std::string what = "round " + std::to_string(round);
        expectSameChoice(chooseLoop(values), want, what);
        // Out of checks at the first hit, or part way: the borders take over.
        expectSameChoice(chooseLoop(values, 0), want, what + ", no checks");
        expectSameChoice(chooseLoop(values, values.size() / 2), want, what + ", few checks");
    }
}

TEST(LoopSearch, StreamedBodyIsTheSameText) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const Values values = envelopeLike(random);
        std::ostringstream out;
        writeValueListBody(out, values);
        ASSERT_EQ(out.str(), valueListBody(values)) << "round " << round;
    }
}

TEST(LoopSearch, AHeldBendOfAMillionFramesIsOneRun) {
    Values values(1000000, 5);
    values[0] = 1;
    EXPECT_EQ(valueListBody(values), "1 5 D999997 ");
    Values wobble;
    for (int i = 0; i < 1000000; ++i) wobble.push_back(i < 3 ? 9 : (i % 3) - 1);
    EXPECT_EQ(valueListBody(wobble), "9 D1 L -1 0 1 ");
}

// The sampled bends of long notes: a walk that never repeats, a bend curve
// that repeats after a lead-in long in values but cheap in tokens, a hold and
// then a wobble, one value throughout, a period broken once near the start or
// right at the end.
TEST(LoopSearch, RollingHashAndBordersAgreeOnLongNotes) {
    std::mt19937 random(3);
    std::vector<std::pair<std::string, Values>> lists;
    Values walk;
    int32_t at = 0;
    for (int i = 0; i < 300000; ++i) walk.push_back(at += static_cast<int32_t>(random() % 5) - 2);
    lists.emplace_back("walk", walk);
    Values curve(50000, 3);
    for (int r = 0; r < 40; ++r) {
        for (int i = 0; i < 97; ++i) curve.insert(curve.end(), 1 + i % 4, (i * 7) % 23 - 11);
    }
    lists.emplace_back("held lead-in, then a curve", curve);
    Values wobble(200000, 6);
    for (int i = 0; i < 200000; ++i) wobble.push_back(i % 6 < 3 ? 1 : -1);
    lists.emplace_back("hold, then a wobble", wobble);
    lists.emplace_back("one value", Values(300000, -4));
    Values broken = curve;
    broken[50000 + 300] = 99;
    lists.emplace_back("curve broken near the start", broken);
    Values late = curve;
    late[late.size() - 2] = 99;
    lists.emplace_back("curve broken at the end", late);
    for (const auto& [what, values] : lists) expectSameChoice(chooseLoop(values), chooseLoopByBorders(values), what);
}

// Two windows of a Thue-Morse word and its complement have the same
// polynomial hash modulo 2^64 when 2048 long: the check by value turns the
// clash away. Sixty distinct values and a run of 100s bring the lead-in cost
// to 62, so the hashed window is exactly the last 2048 values.
TEST(LoopSearch, HashClashesAreTurnedAwayByTheCheck) {
    Values word;
    for (uint32_t i = 0; i < 2048; ++i) word.push_back(std::popcount(i) % 2 == 0 ? 5 : 9);
    Values complement;
    for (const int32_t v : word) complement.push_back(v == 5 ? 9 : 5);
    Values values;
    for (int32_t i = 0; i < 60; ++i) values.push_back(1000 + i);
    values.insert(values.end(), 10, 100);
    values.insert(values.end(), complement.begin(), complement.end());
    values.insert(values.end(), word.begin(), word.end());
    expectSameChoice(chooseLoop(values), chooseLoopByBorders(values), "complement then word");
    EXPECT_EQ(valueListBody(values), plainValueListBody(values));
    // The word twice over does repeat.
    values.resize(values.size() - word.size());
    values.insert(values.end(), complement.begin(), complement.end());
    expectSameChoice(chooseLoop(values), chooseLoopByBorders(values), "complement twice");
    EXPECT_EQ(valueListBody(values), plainValueListBody(values));
}

}  // namespace
}  // namespace tonequill
