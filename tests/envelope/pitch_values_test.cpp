#include "envelope/pitch_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <cmath>
#include <limits>

#include "envelope/envelope_frames.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

TEST(SplitPitch, SmallOffsetsStayFineLargerOnesMoveWholeSemitones) {
    struct Case {
        int32_t v;
        SplitPitch expected;
    };
    const Case cases[] = {
        {0, {0, 0}},      {32, {32, 0}},    {63, {63, 0}},     {-64, {-64, 0}},
        {64, {0, 4}},     {-65, {-1, -4}},  {100, {4, 6}},     {-100, {-4, -6}},
        {79, {15, 4}},    {-79, {-15, -4}}, {2147483647, {15, 134217727}},
        {-2147483647 - 1, {0, -134217728}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitPitch(c.v), c.expected) << c.v;
    }
}

TEST(TrimTrailingZeros, LeavesExactlyOneZeroAfterTheLastValue) {
    struct Case {
        std::vector<int32_t> in;
        std::vector<int32_t> out;
    };
    const Case cases[] = {
        {{5, 0, 0, 0}, {5, 0}},
        {{5, 0}, {5, 0}},
        {{5}, {5}},
        {{0, 0, 0}, {0, 0, 0}},
        {{}, {}},
        {{0, 3, 0, -2, 0, 0}, {0, 3, 0, -2, 0}},
        {{0, 0, 7}, {0, 0, 7}},
    };
    for (Case c : cases) {
        const std::vector<int32_t> original = c.in;
        trimTrailingZeros(c.in);
        EXPECT_EQ(c.in, c.out) << ::testing::PrintToString(original);
    }
}

TEST(RoundToInt32, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(roundToInt32(2.5), 3);
    EXPECT_EQ(roundToInt32(-2.5), -3);
    EXPECT_EQ(roundToInt32(-0.4), 0);
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(roundToInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_FALSE(roundToInt32(2147483647.5));
    EXPECT_FALSE(roundToInt32(-2147483648.5));
    EXPECT_FALSE(roundToInt32(1e300));
    EXPECT_FALSE(roundToInt32(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(roundToInt32(-std::numeric_limits<double>::infinity()));
    // Values at and beside halves, and across the whole range, round as the library rounds.
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const double whole = static_cast<double>(static_cast<int64_t>(random() % 4294967296ull) - 2147483648LL);
        const double halves[] = {0.5, -0.5, std::nextafter(0.5, 0.0), std::nextafter(0.5, 1.0), 0.0,
                                 static_cast<double>(random() % 1000) / 1000.0};
        for (const double h : halves) {
            const double v = i % 2 == 0 ? whole + h : (whole + h) / 4096.0;
            const double r = std::round(v);
            const std::optional<int32_t> want =
                r >= -2147483648.0 && r <= 2147483647.0 ? std::optional<int32_t>(static_cast<int32_t>(r)) : std::nullopt;
            ASSERT_EQ(roundToInt32(v), want) << v;
        }
    }
    EXPECT_EQ(narrowToInt32(-2147483648LL), -2147483647 - 1);
    EXPECT_FALSE(narrowToInt32(2147483648LL));
}

TEST(FramesOfNote, AtLeastOneFrameRoundedUp) {
    EXPECT_EQ(framesOfNote(0, 16, 16.0), 1);
    EXPECT_EQ(framesOfNote(0, 17, 16.0), 2);
    EXPECT_EQ(framesOfNote(0, 480, 16.0), 30);
    EXPECT_EQ(framesOfNote(100, 101, 16.0), 1);  // shorter than a frame
    EXPECT_EQ(framesOfNote(100, 100, 16.0), 1);  // no length
    EXPECT_EQ(framesOfNote(100, 50, 16.0), 1);   // ends before it starts
    // The whole 32-bit tick range at the slowest frame rate does not wrap.
    EXPECT_EQ(framesOfNote(-2147483647 - 1, 2147483647, 1.0 / 3600.0), 4294967295LL * 3600);
}

TEST(TicksPerFrame, FromTheStartingTempoWithOneAsFallback) {
    PreparedSong song;
    song.tpqn = 480;
    song.initialBpm = 120;
    EXPECT_DOUBLE_EQ(ticksPerFrame(song), 16.0);
    song.initialBpm = 0;
    EXPECT_DOUBLE_EQ(ticksPerFrame(song), 1.0);
    song.initialBpm = -5;
    EXPECT_DOUBLE_EQ(ticksPerFrame(song), 1.0);
}

TEST(FrameBudget, RefusesTheNoteThatPassesTheLimitAndNamesIt) {
    FrameBudget budget;
    budget.take(kMaxSongFrames - 10, NoteSite{1, 0});
    budget.take(10, NoteSite{1, 5});  // exactly at the limit is fine
    try {
        budget.take(1, NoteSite{2, 123});
        FAIL() << "expected a ConversionError";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "too many envelope frames: the note at tick 123 on TR2 takes the song past 33554432 frames");
    }
    EXPECT_EQ(budget.used(), kMaxSongFrames);
}

}  // namespace
}  // namespace tonequill
