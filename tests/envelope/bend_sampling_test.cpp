#include "envelope/bend_sampling.h"

#include <gtest/gtest.h>

#include "common/conversion_error.h"

namespace tonequill {
namespace {

using Values = ValueList;  // the samples' own list type

const NoteSite kSite{1, 0};

BendSample sampleOnce(const BendList& bends, const BulkList<BendRange>& ranges, int32_t start,
                      int64_t frames, double ticksPerFrame = 1.0) {
    BendState state;
    return sampleBend(state, bends, ranges, start, frames, ticksPerFrame, kSite);
}

TEST(SampleBend, DepthFollowsBendAndRange) {
    struct Case {
        const char* what;
        int32_t bend;
        double range;
        Values fine;
        Values coarse;
        bool hasBend;
    };
    const Case cases[] = {
        {"+2 semitones at range 2", 16383, 2.0, {32, 32}, {0, 0}, true},
        {"v = 100", 8192 + 4096, 12.5, {4, 4}, {6, 6}, true},
        {"v = -100", 8192 - 4096, 12.5, {-4, -4}, {-6, -6}, true},
        {"half rounds away from zero", 8192 + 256, 1.0, {1, 1}, {0, 0}, true},
        {"negative half rounds away from zero", 8192 - 256, 1.0, {-1, -1}, {0, 0}, true},
        {"centre", 8192, 2.0, {0, 0}, {0, 0}, false},
        {"range 0 contributes nothing", 16383, 0.0, {0, 0}, {0, 0}, false},
        {"negative range contributes nothing", 0, -2.0, {0, 0}, {0, 0}, false},
    };
    for (const Case& c : cases) {
        const BendSample s = sampleOnce({{0, 0, static_cast<uint16_t>(c.bend)}}, {{0, 0, 0, c.range}}, 0, 2);
        EXPECT_EQ(s.fine, c.fine) << c.what;
        EXPECT_EQ(s.coarse, c.coarse) << c.what;
        EXPECT_EQ(s.hasBend, c.hasBend) << c.what;
    }
}

TEST(SampleBend, ABendBackToCentreLeavesOneTrailingZero) {
    const BendSample back = sampleOnce({{0, 0, 16383}, {3, 0, 8192}}, {}, 0, 6);
    EXPECT_EQ(back.fine, (Values{32, 32, 32, 0}));
    EXPECT_EQ(back.coarse, (Values{0, 0, 0, 0, 0, 0}));  // all zeros: left as sampled
    const BendSample held = sampleOnce({{2, 0, 16383}}, {}, 0, 4);
    EXPECT_EQ(held.fine, (Values{0, 0, 32, 32}));
}

TEST(SampleBend, FramesFallOnWholeTicksFromTheStart) {
    // 2.5 ticks a frame: frames at ticks 10, 12, 15, 17.
    const BendSample s = sampleOnce({{13, 0, 16383}, {15, 0, 8192 + 4096}}, {}, 10, 4, 2.5);
    EXPECT_EQ(s.fine, (Values{0, 0, 16, 16}));
}

TEST(SampleBend, StateCarriesFromNoteToNote) {
    const BendList bends{{0, 0, 16383}, {10, 0, 8192}};
    const BulkList<BendRange> ranges{{0, 0, 0, 12.0}};
    BendState state;
    const BendSample first = sampleBend(state, bends, ranges, 0, 2, 1.0, kSite);
    EXPECT_EQ(first.coarse, (Values{12, 12}));  // 8191/8192 * 12 * 16 = 191.98 -> 192
    EXPECT_EQ(state.bendCursor.passed(), 1u);
    const BendSample second = sampleBend(state, bends, ranges, 5, 2, 1.0, kSite);
    EXPECT_EQ(second.coarse, (Values{12, 12}));  // still in force, range kept
    const BendSample third = sampleBend(state, bends, ranges, 20, 2, 1.0, kSite);
    EXPECT_FALSE(third.hasBend);
}

TEST(SampleBend, ADepthBeyond32BitsIsAConversionErrorNamingTheNote) {
    BendState state;
    try {
        sampleBend(state, {{0, 0, 16383}}, {{0, 0, 0, 1e9}}, 40, 1, 1.0, NoteSite{7, 40});
        FAIL() << "expected a ConversionError";
    } catch (const ConversionError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("pitch bend out of range: the note at tick 40 on TR7 bends by ", 0), 0u)
            << e.what();
    }
}

// The table of bend values gives what working each value out gives, for
// bends outside the 14-bit range too, and starts over when the range moves
// on and comes back.
TEST(SampleBend, TheTableOfValuesGivesWhatWorkingThemOutGives) {
    const int32_t bends[] = {-5, 0, 1, 8191, 8192, 8448, 16383, 16384, 40000};
    const double ranges[] = {2.0, 0.0, -1.0, 12.5, 2.0, 48.0};
    BendValueTable table;
    for (const double range : ranges) {
        for (const int32_t bend : bends) {
            BendState direct;
            BendState looked;
            const BendList events{{0, 0, static_cast<uint16_t>(bend)}};
            const BulkList<BendRange> rangeEvents{{0, 0, 0, range}};
            BendRuns plain(direct, events, rangeEvents, 0, 3, 1.0, kSite);
            BendRuns tabled(looked, events, rangeEvents, 0, 3, 1.0, kSite, &table);
            SplitPitch want;
            SplitPitch got;
            size_t length = 0;
            ASSERT_TRUE(plain.next(want, length));
            ASSERT_TRUE(tabled.next(got, length));
            EXPECT_EQ(got, want) << "bend " << bend << " at range " << range;
        }
    }
}

}  // namespace
}  // namespace tonequill
