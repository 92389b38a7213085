// The loop search of the envelope definitions gives the same bodies as the
// search read literally (every lead-in, every period, every tail checked
// value by value), on lists shaped like real envelopes: long held values,
// lead-ins close to the cost limit, periods that break near the end.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "mml/definitions.h"
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

TEST(LoopSearch, GivesTheLiteralBodyOnEnvelopeShapedLists) {
    std::mt19937 random(2024);
    for (int round = 0; round < 1500; ++round) {
        const Values values = envelopeLike(random);
        ASSERT_EQ(valueListBody(values), plainValueListBody(values)) << "round " << round << ", " << values.size() << " values";
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

}  // namespace
}  // namespace tonequill
