#include "prep/length_table.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tonequill {
namespace {

std::string tableText(int32_t timebase) {
    std::string out;
    for (const auto& e : buildLengthTable(timebase)) out += std::to_string(e.ticks) + " " + e.token + ", ";
    return out;
}

TEST(LengthTable, TheThreeTablesComeOutWhole) {
    EXPECT_EQ(tableText(48),
              "192 1, 144 2., 96 2, 72 4., 64 3, 48 4, 36 8., 32 6, 24 8, 18 16., 16 12, 12 16, 9 32., 8 24, 6 32, "
              "4 48, 3 64, 2 96, 1 192, ");
    EXPECT_EQ(tableText(24),
              "96 1, 72 2., 48 2, 36 4., 32 3, 24 4, 18 8., 16 6, 12 8, 9 16., 8 12, 6 16, 4 24, 3 32, 2 48, 1 64, ");
    EXPECT_EQ(tableText(12), "48 1, 36 2., 24 2, 18 4., 16 3, 12 4, 9 8., 8 6, 6 8, 4 12, 3 16, 2 24, 1 32, ");
}

TEST(LengthText, SpellsGreedilyWithTies) {
    struct Case {
        int32_t timebase;
        int32_t ticks;
        bool rest;
        const char* text;
    };
    const Case cases[] = {
        {48, 192, false, "1"},   {48, 144, false, "2."},      {48, 100, false, "2^48"}, {48, 7, false, "32^192"},
        {48, 250, false, "1^4^32.^192"}, {48, 47, false, "8.^32.^96"}, {48, 192, true, "r1"}, {48, 144, true, "r2."},
        {48, 100, true, "r2^48"}, {24, 97, false, "1^64"},      {24, 5, false, "24^64"}, {48, 385, false, "1^1^192"},
        {48, 385, true, "r1^1^192"}, {48, 65, false, "3^192"},  {48, 0, false, ""},      {48, -5, true, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream log;
        EXPECT_EQ(lengthText(c.ticks, c.rest, buildLengthTable(c.timebase), log), c.text)
            << c.timebase << " " << c.ticks;
        EXPECT_EQ(log.str(), "");
    }
}

TEST(LengthText, ReportsARemainderNoEntryFits) {
    std::ostringstream log;
    const std::vector<LengthEntry> table{{4, "4"}};
    EXPECT_EQ(lengthText(6, false, table, log), "4");
    EXPECT_EQ(log.str(), "[LEN ERROR] 2\n");
    std::ostringstream emptyLog;
    EXPECT_EQ(lengthText(3, true, {}, emptyLog), "");
    EXPECT_EQ(emptyLog.str(), "[LEN ERROR] 3\n");
}

}  // namespace
}  // namespace tonequill
