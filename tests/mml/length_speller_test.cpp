#include "mml/length_speller.h"

#include <gtest/gtest.h>

#include <sstream>

#include "prep/length_table.h"

namespace tonequill {
namespace {

// The looked-up spellings must be the greedy ones: every duration up to three
// whole notes, as note and as rest, against the table search itself.
TEST(LengthSpeller, SpellsEveryDurationLikeTheTableSearch) {
    for (int32_t timebase : {48, 24, 12}) {
        const std::vector<LengthEntry> table = buildLengthTable(timebase);
        std::ostringstream log;
        const LengthSpeller speller(table, log);
        for (int32_t ticks = -2; ticks <= 3 * 4 * timebase + 5; ++ticks) {
            for (bool rest : {false, true}) {
                std::ostringstream searchLog;
                ASSERT_EQ(speller.text(ticks, rest), lengthText(ticks, rest, table, searchLog))
                    << "timebase " << timebase << ", " << ticks << " ticks, rest " << rest;
            }
        }
        EXPECT_EQ(log.str(), "");
    }
}

// A table that cannot spell every short duration keeps its error lines, one
// per spelling that runs short, in the order the spellings are asked for.
TEST(LengthSpeller, TableThatCannotSpellEverythingReportsTheRemainder) {
    const std::vector<LengthEntry> quartersOnly{{4, "4"}};
    std::ostringstream log;
    const LengthSpeller speller(quartersOnly, log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(speller.text(6, false), "4");
    EXPECT_EQ(speller.text(9, true), "r4^4");
    EXPECT_EQ(log.str(), "[LEN ERROR] 2\n[LEN ERROR] 1\n");

    const std::vector<LengthEntry> none;
    std::ostringstream emptyLog;
    EXPECT_EQ(LengthSpeller(none, emptyLog).text(3, true), "");
    EXPECT_EQ(emptyLog.str(), "[LEN ERROR] 3\n");
}

}  // namespace
}  // namespace tonequill
